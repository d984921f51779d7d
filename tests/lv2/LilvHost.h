#pragma once

#include "tests/lv2/Lv2TestSupport.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <functional>
#include <string>
#include <vector>

// A small LV2 host of the tests' own: a lilv world that knows the build
// tree's bundle, a URID map and the buf-size options. Test thread only,
// except Instance::Process, which may run on any one thread per instance.
class LilvHost {
public:
    LilvHost()
    {
        world = lilv_world_new();
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, (BundleFolder() + "/").c_str());
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, "urn:brimvale:snarlbox");
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
        map.handle = this;
        map.map = &LilvHost::Map;
    }
    ~LilvHost() { lilv_world_free(world); }
    LilvHost(const LilvHost&) = delete;
    LilvHost& operator=(const LilvHost&) = delete;

    LV2_URID MapUri(const char* uri) { return Map(this, uri); }

    // One instance with its control values and its own audio buffers of up
    // to 4096 frames; maxBlock and nominalBlock above 0 are handed to the
    // plug-in as buf-size options.
    class Instance {
    public:
        static constexpr uint32_t kMaxFrames = 4096;

        Instance(LilvHost& host, const Controls& values, int32_t maxBlock = 0, int32_t nominalBlock = 0,
                 bool inPlace = false)
            : controls(values), inputs(2, std::vector<float>(kMaxFrames)), outputs(2, std::vector<float>(kMaxFrames)),
              inPlace(inPlace)
        {
            const LV2_URID intType = host.MapUri(LV2_ATOM__Int);
            blockLengths[0] = maxBlock;
            blockLengths[1] = nominalBlock;
            size_t count = 0;
            if (maxBlock > 0) {
                options[count++] = {LV2_OPTIONS_INSTANCE, 0, host.MapUri(LV2_BUF_SIZE__maxBlockLength),
                                    sizeof(int32_t), intType, &blockLengths[0]};
            }
            if (nominalBlock > 0) {
                options[count++] = {LV2_OPTIONS_INSTANCE, 0, host.MapUri(LV2_BUF_SIZE__nominalBlockLength),
                                    sizeof(int32_t), intType, &blockLengths[1]};
            }
            options[count] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
            mapFeature = {LV2_URID__map, &host.map};
            optionsFeature = {LV2_OPTIONS__options, options};
            features[0] = &mapFeature;
            features[1] = &optionsFeature;
            features[2] = nullptr;
            instance = lilv_plugin_instantiate(host.plugin, 44100.0, features);
            if (instance == nullptr) {
                return;
            }
            for (uint32_t c = 0; c < 2; ++c) {
                lilv_instance_connect_port(instance, c, inputs[c].data());
                lilv_instance_connect_port(instance, 2 + c, inPlace ? inputs[c].data() : outputs[c].data());
            }
            for (uint32_t i = 0; i < 6; ++i) {
                lilv_instance_connect_port(instance, 4 + i, &controls[i]);
            }
            lilv_instance_activate(instance);
        }
        ~Instance()
        {
            if (instance != nullptr) {
                lilv_instance_deactivate(instance);
                lilv_instance_free(instance);
            }
        }
        Instance(const Instance&) = delete;
        Instance& operator=(const Instance&) = delete;

        // Runs the stream through the plug-in in blocks of the lengths that
        // nextLength gives (1..4096; a 0 is an extra empty run).
        Stereo Process(const Stereo& in, const std::function<uint32_t()>& nextLength)
        {
            Stereo out{std::vector<float>(in.left.size()), std::vector<float>(in.left.size())};
            size_t at = 0;
            while (at < in.left.size()) {
                const uint32_t n = static_cast<uint32_t>(std::min<size_t>(nextLength(), in.left.size() - at));
                Run(in, out, at, n);
                at += n;
            }
            return out;
        }
        // One run() of n frames of the stream from frame at.
        void Run(const Stereo& in, Stereo& out, size_t at, uint32_t n)
        {
            std::copy_n(in.left.begin() + static_cast<long>(at), n, inputs[0].begin());
            std::copy_n(in.right.begin() + static_cast<long>(at), n, inputs[1].begin());
            lilv_instance_run(instance, n);
            const std::vector<float>* result = inPlace ? inputs.data() : outputs.data();
            std::copy_n(result[0].begin(), n, out.left.begin() + static_cast<long>(at));
            std::copy_n(result[1].begin(), n, out.right.begin() + static_cast<long>(at));
        }

        Controls controls;
        LilvInstance* instance = nullptr;

    private:
        std::vector<std::vector<float>> inputs;
        std::vector<std::vector<float>> outputs;
        bool inPlace = false;
        int32_t blockLengths[2] = {0, 0};
        LV2_Options_Option options[3] = {};
        LV2_Feature mapFeature{};
        LV2_Feature optionsFeature{};
        const LV2_Feature* features[3] = {};
    };

    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;

private:
    static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
    {
        auto* self = static_cast<LilvHost*>(handle);
        for (size_t i = 0; i < self->uris.size(); ++i) {
            if (self->uris[i] == uri) {
                return static_cast<LV2_URID>(i + 1);
            }
        }
        self->uris.emplace_back(uri);
        return static_cast<LV2_URID>(self->uris.size());
    }

    std::vector<std::string> uris;
    LV2_URID_Map map{};
};
