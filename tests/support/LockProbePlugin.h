#pragma once

#include "core/IStandalonePlugin.h"

#include <atomic>
#include <chrono>
#include <thread>

// A plug-in that checks that no parameter change lands inside one of its
// blocks. Each block reads the parameter values and the working values that
// ParameterChanged derives from them, waits until a writer thread has
// finished two more changes (a few milliseconds at most), and reads them
// again; any difference counts the block as torn. A writer that is held off
// by the plug-in lock cannot finish a change meanwhile, one that is not lands
// its changes inside the block. Blocks run on one audio thread at a time.
class LockProbePlugin : public IStandalonePlugin {
public:
    static constexpr int kCount = kParameterCount;

    LockProbePlugin() : IStandalonePlugin("Probe", "", "Tests", "2-2", nullptr, nullptr)
    {
        for (auto& parameter : parameters) {
            parameter->ConfigureDouble("p", 0.0, 0.0, 1.0, 0.001);
        }
        for (int i = 0; i < kCount; ++i) {
            ParameterChanged(i);
        }
    }

    // Under the lock of whoever calls it; the base takes it again.
    void ParameterChanged(int index) override
    {
        IAudioPlugin::ParameterChanged(index);
        if (IParameter* parameter = ParameterAt(index)) {
            working[index] = parameter->value;
        }
    }

    // Audio thread, with the plug-in lock held by the caller (that is what is checked).
    void ProcessAudioBlock(double**, double**, int) override
    {
        Values start{};
        Read(start);
        const int changesBefore = changes.load();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(3);
        while (changes.load() < changesBefore + 2 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        Values end{};
        Read(end);
        if (!Same(start, end)) {
            tornBlocks.fetch_add(1);
        }
        if (blocks.load() > 0 && !Same(start, lastEnd)) {
            changedBetweenBlocks.fetch_add(1);
        }
        lastEnd = end;
        blocks.fetch_add(1);
    }

    // Writer thread: changes the parameters from the editor side, each
    // change to another value than before, until stop is set.
    void ChangeFromEditorUntil(const std::atomic<bool>& stop)
    {
        for (int i = 0; !stop.load(); ++i) {
            SetParameterFromEditor(i % kCount, i % 2 == 0 ? 0.75 : 0.25);
            changes.fetch_add(1);
            std::this_thread::yield();
        }
    }

    std::atomic<int> blocks{0};
    std::atomic<int> tornBlocks{0};
    // Blocks that saw other values than the block before: the writer's changes
    // did get through, between blocks.
    std::atomic<int> changedBetweenBlocks{0};

private:
    struct Values {
        double parameter[kCount];
        double working[kCount];
    };
    void Read(Values& values) const
    {
        for (int i = 0; i < kCount; ++i) {
            values.parameter[i] = parameters[i]->value;
            values.working[i] = working[i];
        }
    }
    static bool Same(const Values& a, const Values& b)
    {
        for (int i = 0; i < kCount; ++i) {
            if (a.parameter[i] != b.parameter[i] || a.working[i] != b.working[i]) {
                return false;
            }
        }
        return true;
    }

    double working[kCount] = {};
    std::atomic<int> changes{0};
    Values lastEnd{};
};
