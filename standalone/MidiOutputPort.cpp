#include "standalone/MidiOutputPort.h"

#include "standalone/JackMidiPorts.h"

#include <vector>

MidiOutputPort::MidiOutputPort(std::unique_ptr<RtMidiOut> out) : midiOut(std::move(out)) {}

MidiOutputPort::~MidiOutputPort() { ClosePort(); }

unsigned int MidiOutputPort::PortCount()
{
    std::lock_guard<std::mutex> lock(portMutex);
    if (!midiOut) {
        return 0;
    }
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
    if (!midiOut) {
        return std::string();
    }
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
    if (!midiOut) {
        return false;
    }
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
    if (!midiOut) {
        return;
    }
    try {
        midiOut->closePort();
    } catch (const RtMidiError& error) {
        error.printMessage();
    }
}

bool MidiOutputPort::PortOpen()
{
    if (jack != nullptr) {
        return jack->OutputConnected();
    }
    std::lock_guard<std::mutex> lock(portMutex);
    return portOpen;
}

RtMidi::Api MidiOutputPort::CurrentApi()
{
    std::lock_guard<std::mutex> lock(portMutex);
    if (jack != nullptr) {
        return RtMidi::UNIX_JACK;
    }
    return midiOut ? midiOut->getCurrentApi() : RtMidi::UNSPECIFIED;
}

bool MidiOutputPort::HasBackEnd()
{
    std::lock_guard<std::mutex> lock(portMutex);
    return midiOut != nullptr || jack != nullptr;
}

uint32_t MidiOutputPort::TakeSendErrors()
{
    const uint32_t dropped = jack != nullptr ? jack->TakeDropped() : 0;
    return sendErrors.exchange(0, std::memory_order_relaxed) + dropped;
}

bool MidiOutputPort::SendBytes(const uint8_t* bytes, int count)
{
    if (jack != nullptr) {
        return count > 0 && jack->OutputConnected() && jack->Write(bytes, static_cast<size_t>(count));
    }
    std::unique_lock<std::mutex> lock(portMutex, std::try_to_lock);
    if (!lock.owns_lock() || !portOpen || !midiOut || count <= 0) {
        return false;
    }
    try {
        midiOut->sendMessage(bytes, static_cast<size_t>(count));
    } catch (const RtMidiError&) {
        sendErrors.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    return true;
}
