// Writing a sound as an LV2 preset bundle, all or nothing.

#include "standalone/SoundFiles.h"

#include "lv2/Lv2Interface.h"
#include "standalone/KnobTable.h"
#include "standalone/PresetVocabulary.h"

#include <serd/serd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace PresetVocabulary;

SerdNode UriNode(const char* uri) { return serd_node_from_string(SERD_URI, reinterpret_cast<const uint8_t*>(uri)); }
SerdNode Literal(const char* text)
{
    return serd_node_from_string(SERD_LITERAL, reinterpret_cast<const uint8_t*>(text));
}

// The shortest decimal that reads back as the same double ("327.68", "1.0").
std::string DecimalText(double v)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    std::string out(text, result.ptr);
    if (out.find('.') == std::string::npos) {
        out += ".0";
    }
    return out;
}

// The preset file's name inside the bundle: the sound's name in letters,
// digits, '-' and '_', which need no escaping in a URI.
std::string FileStem(const std::string& name)
{
    std::string stem;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        stem += plain ? c : '_';
        if (stem.size() == 64) {
            break;
        }
    }
    if (stem.empty() || stem == "manifest") {
        stem = "sound";
    }
    return stem;
}

// One Turtle file, written through serd with the preset prefixes, synced to
// disk before it counts as written.
class TurtleFile {
public:
    explicit TurtleFile(const std::string& path) : path(path)
    {
        file = std::fopen(path.c_str(), "w");
        env = serd_env_new(nullptr);
        if (file != nullptr) {
            writer = serd_writer_new(SERD_TURTLE, static_cast<SerdStyle>(SERD_STYLE_ABBREVIATED | SERD_STYLE_CURIED),
                                     env, nullptr, &serd_file_sink, file);
            const std::pair<const char*, const char*> prefixes[] = {
                {"lv2", kLv2}, {"pset", kPset}, {"rdfs", kRdfs}, {"xsd", kXsd}};
            for (const auto& [name, uri] : prefixes) {
                const SerdNode n = Literal(name);
                const SerdNode u = UriNode(uri);
                serd_env_set_prefix(env, &n, &u);
                ok = ok && serd_writer_set_prefix(writer, &n, &u) == SERD_SUCCESS;
            }
        }
    }
    ~TurtleFile()
    {
        if (writer != nullptr) {
            serd_writer_free(writer);
        }
        serd_env_free(env);
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    TurtleFile(const TurtleFile&) = delete;
    TurtleFile& operator=(const TurtleFile&) = delete;

    void Write(const SerdNode& s, const char* p, const SerdNode& o, const SerdNode* type = nullptr,
               SerdStatementFlags flags = 0)
    {
        const SerdNode predicate = UriNode(p);
        ok = ok && writer != nullptr &&
             serd_writer_write_statement(writer, flags, nullptr, &s, &predicate, &o, type, nullptr) == SERD_SUCCESS;
    }
    void EndAnonymous(const SerdNode& node) { ok = ok && serd_writer_end_anon(writer, &node) == SERD_SUCCESS; }

    bool Close(std::string& error)
    {
        if (writer != nullptr) {
            ok = ok && serd_writer_finish(writer) == SERD_SUCCESS;
            serd_writer_free(writer);
            writer = nullptr;
        }
        bool closed = file != nullptr;
        if (file != nullptr) {
            ok = ok && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
            closed = std::fclose(file) == 0;
            file = nullptr;
        }
        if (!ok || !closed) {
            error = path + ": could not be written (" + std::strerror(errno) + ")";
            return false;
        }
        return true;
    }

private:
    std::string path;
    std::FILE* file = nullptr;
    SerdEnv* env = nullptr;
    SerdWriter* writer = nullptr;
    bool ok = true;
};

// Writes the bundle's two files into folder.
bool WriteBundleFiles(const std::string& folder, const Sound& sound, std::string& error)
{
    const std::string stem = FileStem(sound.name) + ".ttl";
    const SerdNode preset = UriNode(stem.c_str());
    const SerdNode presetClass = UriNode(kPsetPreset);
    const SerdNode plugin = UriNode(Lv2Interface::kPluginUri);

    TurtleFile manifest(folder + "/manifest.ttl");
    manifest.Write(preset, kRdfType, presetClass);
    manifest.Write(preset, kLv2AppliesTo, plugin);
    manifest.Write(preset, kRdfsSeeAlso, preset);
    if (!manifest.Close(error)) {
        return false;
    }

    TurtleFile file(folder + "/" + stem);
    file.Write(preset, kRdfType, presetClass);
    file.Write(preset, kLv2AppliesTo, plugin);
    file.Write(preset, kRdfsLabel, Literal(sound.name.c_str()));
    const SerdNode decimal = UriNode(kXsdDecimal);
    int written = 0;
    for (int i = 0; i < IAudioPlugin::kParameterCount; ++i) {
        const char* symbol = KnobSymbol(i);
        const double value = sound.values[static_cast<size_t>(i)];
        if (symbol == nullptr || std::isnan(value)) {
            continue;
        }
        const std::string id = "port" + std::to_string(i);
        const std::string text = DecimalText(value);
        const SerdNode port = serd_node_from_string(SERD_BLANK, reinterpret_cast<const uint8_t*>(id.c_str()));
        file.Write(preset, kLv2Port, port, nullptr, SERD_ANON_O_BEGIN);
        file.Write(port, kLv2Symbol, Literal(symbol), nullptr, SERD_ANON_CONT);
        file.Write(port, kPsetValue, Literal(text.c_str()), &decimal, SERD_ANON_CONT);
        file.EndAnonymous(port);
        ++written;
    }
    if (written == 0) {
        error = "the sound \"" + sound.name + "\" has no knob values to save";
        return false;
    }
    return file.Close(error);
}

// An earlier sound bundle, which may be replaced: a folder of .ttl files
// with a manifest and nothing else.
bool IsSoundBundle(const fs::path& folder)
{
    std::error_code ec;
    if (!fs::is_regular_file(folder / "manifest.ttl", ec)) {
        return false;
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->path().extension() != ".ttl") {
            return false;
        }
    }
    return !ec;
}

void SyncFolder(const fs::path& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

bool WriteSound(const std::string& bundleFolder, const Sound& sound, std::string& error)
{
    std::string trimmed = bundleFolder;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    const fs::path target(trimmed);
    const std::string leaf = target.filename().string();
    if (trimmed.empty() || leaf.empty() || leaf == "." || leaf == ".." || leaf == "/") {
        error = "\"" + bundleFolder + "\" is not a folder name a sound can be saved as";
        return false;
    }
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(parent, ec);
    struct stat info {};
    const bool replacing = lstat(target.c_str(), &info) == 0;
    if (replacing && !(S_ISDIR(info.st_mode) && IsSoundBundle(target))) {
        error = trimmed + ": exists and is not a sound bundle; nothing was written";
        return false;
    }
    std::string pattern = (parent / ("." + leaf + ".XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        error = parent.string() + ": cannot write there (" + std::strerror(errno) + ")";
        return false;
    }
    const fs::path temporary(pattern);
    if (!WriteBundleFiles(temporary.string(), sound, error)) {
        fs::remove_all(temporary, ec);
        return false;
    }
    SyncFolder(temporary);
    if (!replacing) {
        if (rename(temporary.c_str(), target.c_str()) != 0) {
            error = trimmed + ": could not be saved (" + std::strerror(errno) + ")";
            fs::remove_all(temporary, ec);
            return false;
        }
    } else if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
        // Without an atomic exchange the old bundle steps aside first.
        std::string aside = (parent / ("." + leaf + ".old.XXXXXX")).string();
        const int fd = mkstemp(aside.data());
        if (fd >= 0) {
            close(fd);
            unlink(aside.c_str());
        }
        if (fd < 0 || rename(target.c_str(), aside.c_str()) != 0) {
            error = trimmed + ": could not be replaced (" + std::strerror(errno) + ")";
            fs::remove_all(temporary, ec);
            return false;
        }
        if (rename(temporary.c_str(), target.c_str()) != 0) {
            error = trimmed + ": could not be replaced (" + std::strerror(errno) + ")";
            rename(aside.c_str(), target.c_str());
            fs::remove_all(temporary, ec);
            return false;
        }
        fs::remove_all(aside, ec);
    } else {
        fs::remove_all(temporary, ec); // now the old bundle
    }
    SyncFolder(parent);
    return true;
}
