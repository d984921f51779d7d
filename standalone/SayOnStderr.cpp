#include "standalone/SayOnStderr.h"

#include "platform/WriteWithoutBlocking.h"

void SayOnStderr(const std::string& text)
{
    WriteWithoutBlocking(2, ("Snarlbox: " + text + "\n").c_str());
}
