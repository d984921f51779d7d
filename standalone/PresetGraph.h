#pragma once

#include <string>
#include <vector>

typedef struct SordWorldImpl SordWorld;
typedef struct SordModelImpl SordModel;
typedef struct SordNodeImpl SordNode;

// The statements of one or more Turtle files, parsed by serd into a sord
// model, and the few questions the sound files ask of them. Nodes it hands
// out live as long as the graph. One thread at a time; any but the audio
// thread.
class PresetGraph {
public:
    PresetGraph();
    ~PresetGraph();
    PresetGraph(const PresetGraph&) = delete;
    PresetGraph& operator=(const PresetGraph&) = delete;

    // Adds the statements of a Turtle file, resolved against its own file
    // URI. Files above 1 MiB, unreadable or damaged ones (any syntax error,
    // bad UTF-8, a cut-off statement) are refused with error set; a file
    // already read is not read again.
    bool Parse(const std::string& path, std::string& error);

    const SordNode* Uri(const char* uri);
    // Subjects s of (s, predicate, object), in the model's order.
    std::vector<const SordNode*> Subjects(const SordNode* predicate, const SordNode* object);
    // Objects o of (subject, predicate, o).
    std::vector<const SordNode*> Objects(const SordNode* subject, const SordNode* predicate);
    // The first object, or null.
    const SordNode* Object(const SordNode* subject, const SordNode* predicate);

    static std::string Text(const SordNode* node);
    static bool IsLiteral(const SordNode* node);
    static bool IsUri(const SordNode* node);
    // The local path of a file: URI, or empty.
    static std::string FilePath(const SordNode* node);

private:
    const SordNode* Keep(SordNode* node);
    // The subject (or else the object) of every statement that matches (null: any).
    std::vector<const SordNode*> Matches(const SordNode* subject, const SordNode* predicate, const SordNode* object,
                                         bool subjects);

    SordWorld* world = nullptr;
    SordModel* model = nullptr;
    std::vector<SordNode*> kept;
    std::vector<std::string> parsed;
};
