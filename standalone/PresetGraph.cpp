#include "standalone/PresetGraph.h"

#include <serd/serd.h>
#include <sord/sord.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

constexpr off_t kLargestFile = 1 << 20;

// Keeps serd's first complaint, with its line, for the message.
SerdStatus KeepFirstError(void* handle, const SerdError* error)
{
    auto* first = static_cast<std::string*>(handle);
    if (first->empty()) {
        char text[256];
        va_list args;
        va_copy(args, *error->args);
        std::vsnprintf(text, sizeof text, error->fmt, args);
        va_end(args);
        std::string message = text;
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        *first = "line " + std::to_string(error->line) + ": " + message;
    }
    return SERD_SUCCESS;
}

} // namespace

PresetGraph::PresetGraph()
{
    world = sord_world_new();
    model = sord_new(world, SORD_SPO | SORD_OPS, false);
}

PresetGraph::~PresetGraph()
{
    for (SordNode* node : kept) {
        sord_node_free(world, node);
    }
    sord_free(model);
    sord_world_free(world);
}

bool PresetGraph::Parse(const std::string& path, std::string& error)
{
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        error = path + ": cannot be read";
        return false;
    }
    const std::string real = resolved;
    std::free(resolved);
    if (std::find(parsed.begin(), parsed.end(), real) != parsed.end()) {
        return true;
    }
    struct stat info {};
    if (stat(real.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": not a file";
        return false;
    }
    if (info.st_size == 0) {
        error = path + ": is empty";
        return false;
    }
    if (info.st_size > kLargestFile) {
        error = path + ": too large for a preset file";
        return false;
    }
    SerdNode base = serd_node_new_file_uri(reinterpret_cast<const uint8_t*>(real.c_str()), nullptr, nullptr, true);
    SerdEnv* env = serd_env_new(&base);
    SerdReader* reader = sord_new_reader(model, env, SERD_TURTLE, nullptr);
    std::string firstError;
    serd_reader_set_strict(reader, true);
    serd_reader_set_error_sink(reader, &KeepFirstError, &firstError);
    const SerdStatus status = serd_reader_read_file(reader, base.buf);
    serd_reader_free(reader);
    serd_env_free(env);
    serd_node_free(&base);
    if (status != SERD_SUCCESS || !firstError.empty()) {
        error = path + ": not a readable preset file (" +
                (firstError.empty() ? std::string(reinterpret_cast<const char*>(serd_strerror(status))) : firstError) +
                ")";
        return false;
    }
    parsed.push_back(real);
    return true;
}

const SordNode* PresetGraph::Keep(SordNode* node)
{
    if (node != nullptr) {
        kept.push_back(node);
    }
    return node;
}

const SordNode* PresetGraph::Uri(const char* uri)
{
    return Keep(sord_new_uri(world, reinterpret_cast<const uint8_t*>(uri)));
}

std::vector<const SordNode*> PresetGraph::Matches(const SordNode* subject, const SordNode* predicate,
                                                  const SordNode* object, bool subjects)
{
    std::vector<const SordNode*> out;
    SordIter* it = sord_search(model, subject, predicate, object, nullptr);
    for (; !sord_iter_end(it); sord_iter_next(it)) {
        out.push_back(Keep(sord_node_copy(sord_iter_get_node(it, subjects ? SORD_SUBJECT : SORD_OBJECT))));
    }
    sord_iter_free(it);
    return out;
}

std::vector<const SordNode*> PresetGraph::Subjects(const SordNode* predicate, const SordNode* object)
{
    return Matches(nullptr, predicate, object, true);
}

std::vector<const SordNode*> PresetGraph::Objects(const SordNode* subject, const SordNode* predicate)
{
    return Matches(subject, predicate, nullptr, false);
}

const SordNode* PresetGraph::Object(const SordNode* subject, const SordNode* predicate)
{
    return Keep(sord_get(model, subject, predicate, nullptr, nullptr));
}

std::string PresetGraph::Text(const SordNode* node)
{
    return node != nullptr ? reinterpret_cast<const char*>(sord_node_get_string(node)) : "";
}

bool PresetGraph::IsLiteral(const SordNode* node)
{
    return node != nullptr && sord_node_get_type(node) == SORD_LITERAL;
}

bool PresetGraph::IsUri(const SordNode* node) { return node != nullptr && sord_node_get_type(node) == SORD_URI; }

std::string PresetGraph::FilePath(const SordNode* node)
{
    if (!IsUri(node)) {
        return "";
    }
    const std::string uri = Text(node);
    if (uri.rfind("file:", 0) != 0) {
        return "";
    }
    uint8_t* path = serd_file_uri_parse(reinterpret_cast<const uint8_t*>(uri.c_str()), nullptr);
    std::string out = path != nullptr ? reinterpret_cast<const char*>(path) : "";
    serd_free(path);
    return out;
}
