#include "standalone/JackClientName.h"

namespace {
std::string& Name()
{
    static std::string name = "Snarlbox";
    return name;
}
} // namespace

void SetJackClientName(const std::string& name)
{
    Name() = name;
}

const std::string& JackClientName()
{
    return Name();
}
