#include "standalone/Application.h"
#include "standalone/HostServicesGtk.h"

// The program takes no arguments and reads no environment of its own.
int main()
{
    HostServicesGtk services;
    return Application(services).Run();
}
