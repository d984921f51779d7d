#include "standalone/MidiOutputPort.h"

MidiOutputPort::MidiOutputPort(std::unique_ptr<RtMidiOut> out) : midiOut(std::move(out)) {}

MidiOutputPort::~MidiOutputPort() { ClosePort(); }

unsigned int MidiOutputPort::PortCount()
{
    std::lock_guard<std::mutex> lock(portMutex);
    try {
        return midiOut->getPortCount();
    } catch (const RtMidiError& error) {
        error.printMessage();
        return 0;
    }
}

std::string MidiOutputPort::PortName(unsigned int port)
{
    std::lock_guard<std::mutex> lock(portMutex);
    try {
        return midiOut->getPortName(port);
    } catch (const RtMidiError& error) {
        error.printMessage();
        return std::string();
    }
}

bool MidiOutputPort::OpenPort(unsigned int port, const char* portName)
{
    std::lock_guard<std::mutex> lock(portMutex);
    try {
        midiOut->closePort();
        portOpen = false;
        midiOut->openPort(port, portName);
        portOpen = midiOut->isPortOpen();
    } catch (const RtMidiError& error) {
        error.printMessage();
        portOpen = false;
    }
    return portOpen;
}

void MidiOutputPort::ClosePort()
{
    std::lock_guard<std::mutex> lock(portMutex);
    portOpen = false;
    try {
        midiOut->closePort();
    } catch (const RtMidiError& error) {
        error.printMessage();
    }
}

bool MidiOutputPort::PortOpen()
{
    std::lock_guard<std::mutex> lock(portMutex);
    return portOpen;
}

RtMidi::Api MidiOutputPort::CurrentApi() const { return midiOut->getCurrentApi(); }

bool MidiOutputPort::SendBytes(const uint8_t* bytes, int count)
{
    std::unique_lock<std::mutex> lock(portMutex, std::try_to_lock);
    if (!lock.owns_lock() || !portOpen || count <= 0) {
        return false;
    }
    try {
        midiOut->sendMessage(bytes, static_cast<size_t>(count));
    } catch (const RtMidiError& error) {
        error.printMessage();
        return false;
    }
    return true;
}
