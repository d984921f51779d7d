#pragma once

#include <rtaudio/RtAudio.h>

#include <atomic>
#include <string>

// Takes the server's shutdown notice of an RtAudio JACK stream away from
// RtAudio. RtAudio answers that notice by closing the stream on a thread it
// starts and never joins, while printing from the thread the close cancels:
// that close races every other close and open of a JACK client in the
// process (a crash at Quit with the server gone) and the print can end the
// process. With the notice taken, a stream whose server went away is never
// touched by RtAudio; the engine leaves it alone for good.
//
// Call between openStream and startStream (JACK accepts the notice only on
// an inactive client); clientName is the stream name RtAudio was given ("" =
// RtAudio's own). gone is set, from one of libjack's threads, when the
// server shuts the client down; it must outlive the client, so it is kept
// as long as the stream is. False (nothing changed) when the stream is not a
// JACK stream that can be reached; RtAudio then keeps the notice.
// Control thread only (the thread that opened the stream); not real-time safe.
bool TakeJackShutdownNotice(RtAudio& audio, const std::string& clientName, std::atomic<bool>* gone);
