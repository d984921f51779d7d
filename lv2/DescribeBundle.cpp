#include "lv2/DescribeBundle.h"

#include "core/IAudioPlugin.h"
#include "effect/FactorySounds.h"
#include "lv2/Lv2Interface.h"

#include <charconv>
#include <cstdint>
#include <string>

namespace {

const char* const kPrefixes = "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
                              "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                              "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";

// A Turtle string literal.
std::string Quoted(const char* text)
{
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\') {
            out += '\\';
        }
        out += *c;
    }
    return out + "\"";
}

// The shortest text that reads back as the same double, always with a
// decimal point, so 327.68 stays 327.68 and 1 is written 1.0.
std::string Decimal(double v)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, v);
    std::string out(text, result.ptr);
    if (out.find_first_of(".e") == std::string::npos) {
        out += ".0";
    }
    return out;
}

std::string Uri(const char* fragment) { return std::string("<") + Lv2Interface::kPluginUri + fragment + ">"; }

std::string AudioPortText(const Lv2Interface::AudioPort& port)
{
    return std::string("    [\n        a lv2:AudioPort, ") + (port.input ? "lv2:InputPort" : "lv2:OutputPort") +
           " ;\n        lv2:index " + std::to_string(port.index) + " ;\n        lv2:symbol " + Quoted(port.symbol) +
           " ;\n        lv2:name " + Quoted(port.name) + " ;\n        pg:group " + Uri(port.input ? "#in" : "#out") +
           " ;\n        lv2:designation " + (port.left ? "pg:left" : "pg:right") + " ;\n    ]";
}

std::string ControlPortText(const Lv2Interface::ControlPort& port, const IParameter& parameter)
{
    std::string text = "    [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index " +
                       std::to_string(port.index) + " ;\n        lv2:symbol " + Quoted(port.symbol) +
                       " ;\n        lv2:name " + Quoted(parameter.name) + " ;\n        lv2:default " +
                       Decimal(parameter.defaultValue) + " ;\n        lv2:minimum " + Decimal(parameter.minimum) +
                       " ;\n        lv2:maximum " + Decimal(parameter.maximum) + " ;\n";
    if (parameter.type == IParameter::TypeInteger) {
        text += "        lv2:portProperty lv2:integer ;\n";
    }
    // LV2 has no digits property of its own; a unit's printf format carries them.
    const std::string format = "%." + std::to_string(parameter.displayPrecision) + "f";
    text += "        units:unit [\n            a units:Unit ;\n            units:symbol " + Quoted(parameter.label) +
            " ;\n            units:render " + Quoted(format.c_str()) + " ;\n        ] ;\n    ]";
    return text;
}

// The host's bypass switch: hosts show it as the plug-in's own bypass.
std::string EnabledPortText()
{
    return "    [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index " + std::to_string(Lv2Interface::kEnabled) +
           " ;\n        lv2:symbol " + Quoted(Lv2Interface::kEnabledSymbol) +
           " ;\n        lv2:name \"Enabled\" ;\n        lv2:designation lv2:enabled ;\n"
           "        lv2:portProperty lv2:toggled, lv2:integer, pprops:notOnGUI ;\n"
           "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n    ]";
}

std::string FactorySoundUri(const FactorySound& sound)
{
    return std::string("<") + kFactorySoundUriPrefix + sound.slug + ">";
}

} // namespace

std::string DescribePlugin(IAudioPlugin& effect)
{
    // LV2 versions have a minor and a micro number, even for releases and
    // never a zero minor (that marks an experimental plug-in): 1.0.0 gives
    // 200.0, 1.2.3 gives 204.6.
    const uint32_t major = effect.version >> 16;
    const uint32_t minor = (effect.version >> 8) & 0xFF;
    const uint32_t bugFix = effect.version & 0xFF;

    std::string out = kPrefixes;
    out += Uri("#in") + "\n    a pg:StereoGroup, pg:InputGroup ;\n    lv2:symbol \"in\" ;\n"
                        "    rdfs:label \"Input\" .\n\n";
    out += Uri("#out") + "\n    a pg:StereoGroup, pg:OutputGroup ;\n    lv2:symbol \"out\" ;\n"
                         "    rdfs:label \"Output\" ;\n    pg:source " + Uri("#in") + " .\n\n";
    out += Uri("") + "\n    a lv2:Plugin, lv2:DistortionPlugin, doap:Project ;\n";
    out += "    doap:name " + Quoted(effect.effectName) + " ;\n";
    out += "    doap:maintainer [\n        foaf:name " + Quoted(effect.makerName) + " ;\n    ] ;\n";
    out += "    doap:license <LICENSE> ;\n";
    out += "    rdfs:comment \"Stereo distortion: sample-and-hold rate reduction, a threshold clipper, a cubic "
           "shaper, a frame pattern, wet/dry mix and gain.\" ;\n";
    out += "    lv2:minorVersion " + std::to_string(2 * (100 * major + minor)) + " ;\n";
    out += "    lv2:microVersion " + std::to_string(2 * bugFix) + " ;\n";
    out += "    lv2:optionalFeature lv2:hardRTCapable, opts:options, urid:map ;\n";
    out += "    pg:mainInput " + Uri("#in") + " ;\n    pg:mainOutput " + Uri("#out") + " ;\n";
    out += "    lv2:port\n";
    bool first = true;
    for (const Lv2Interface::AudioPort& port : Lv2Interface::kAudioPorts) {
        out += (first ? "" : " ,\n") + AudioPortText(port);
        first = false;
    }
    for (const Lv2Interface::ControlPort& port : Lv2Interface::kControlPorts) {
        out += " ,\n" + ControlPortText(port, *effect.ParameterAt(port.paramIndex));
    }
    out += " ,\n" + EnabledPortText() + " .\n";
    return out;
}

std::string DescribeFactorySounds()
{
    std::string out = "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
                      "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                      "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    for (const FactorySound& sound : kFactorySounds) {
        out += "\n" + FactorySoundUri(sound) + "\n    a pset:Preset ;\n    lv2:appliesTo " + Uri("") +
               " ;\n    rdfs:label " + Quoted(sound.name) + " ;\n    lv2:port";
        bool first = true;
        for (const Lv2Interface::ControlPort& port : Lv2Interface::kControlPorts) {
            out += std::string(first ? "" : " ,") + " [\n        lv2:symbol " + Quoted(port.symbol) +
                   " ;\n        pset:value " + Decimal(sound.values[port.paramIndex]) + " ;\n    ]";
            first = false;
        }
        out += " .\n";
    }
    return out;
}

std::string DescribeManifest(const std::string& binaryFile, const std::string& descriptionFile,
                             const std::string& uiBinaryFile, const std::string& soundsFile)
{
    const std::string ui = std::string("<") + Lv2Interface::kUiUri + ">";
    std::string out = "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
                      "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                      "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                      "@prefix ui:   <http://lv2plug.in/ns/extensions/ui#> .\n"
                      "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";
    out += Uri("") + "\n    a lv2:Plugin ;\n    lv2:binary <" + binaryFile + "> ;\n    rdfs:seeAlso <" +
           descriptionFile + "> ;\n    ui:ui " + ui + " .\n\n";
    // The editor embeds in the host's window and lives on the host's idle
    // calls; its size is fixed at the host's scale factor, which it takes
    // from the options at instantiation and through the options interface.
    out += ui + "\n    a ui:X11UI ;\n    ui:binary <" + uiBinaryFile +
           "> ;\n"
           "    lv2:requiredFeature ui:parent, ui:idleInterface ;\n"
           "    lv2:optionalFeature ui:resize, ui:touch, ui:noUserResize, opts:options, urid:map ;\n"
           "    opts:supportedOption ui:scaleFactor ;\n"
           "    lv2:extensionData ui:idleInterface, opts:interface .\n";
    for (const FactorySound& sound : kFactorySounds) {
        out += "\n" + FactorySoundUri(sound) + "\n    a <http://lv2plug.in/ns/ext/presets#Preset> ;\n"
               "    lv2:appliesTo " + Uri("") + " ;\n    rdfs:seeAlso <" + soundsFile + "> .\n";
    }
    return out;
}
