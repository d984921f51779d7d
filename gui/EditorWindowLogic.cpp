#include "gui/EditorWindowLogic.h"

#include "core/IParameter.h"
#include "gui/IControl.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

EntryTickAction DecideEntryTick(bool fieldOpen, int32_t entryState)
{
    if (!fieldOpen || entryState == EntryNone) {
        return EntryTickAction::CheckRedraw;
    }
    if (entryState == EntryCommit) {
        return EntryTickAction::Commit;
    }
    if (entryState == EntryCancel) {
        return EntryTickAction::Cancel;
    }
    if (entryState == EntryEditing) {
        return EntryTickAction::Ignore;
    }
    return EntryTickAction::ResetState;
}

bool EntryFieldIsEditing(bool fieldOpen, int32_t entryState)
{
    return fieldOpen && entryState == EntryEditing;
}

int RedrawPeriodMs(int32_t frameRate)
{
    if (frameRate <= 0) {
        return 0;
    }
    return static_cast<int>(1000.0 / static_cast<double>(frameRate));
}

int WheelAccumulator::AddSmoothDelta(double dy)
{
    if (!std::isfinite(dy)) {
        return 0;
    }
    pendingUnits -= dy * kUnitsPerNotch;
    double notches = std::trunc(pendingUnits / kUnitsPerNotch);
    pendingUnits -= notches * kUnitsPerNotch;
    return static_cast<int>(notches);
}

EditorKey EditorKeyFromKeyval(uint32_t keyval)
{
    switch (keyval) {
    case 0x020: return KeySpace;
    case 0xff52: return KeyUp;
    case 0xff54: return KeyDown;
    case 0xff51: return KeyLeft;
    case 0xff53: return KeyRight;
    default: break;
    }
    if (keyval >= '0' && keyval <= '9') {
        return static_cast<EditorKey>(KeyDigit0 + static_cast<int>(keyval - '0'));
    }
    if (keyval >= 'A' && keyval <= 'Z') {
        return static_cast<EditorKey>(KeyLetterA + static_cast<int>(keyval - 'A'));
    }
    if (keyval >= 'a' && keyval <= 'z') {
        return static_cast<EditorKey>(KeyLetterA + static_cast<int>(keyval - 'a'));
    }
    return KeyNone;
}

EditorKey EditorKeyFromLevels(uint32_t plainKeyval, uint32_t shiftedKeyval)
{
    EditorKey key = EditorKeyFromKeyval(plainKeyval);
    if (key == KeyNone && shiftedKeyval >= '0' && shiftedKeyval <= '9') {
        key = static_cast<EditorKey>(KeyDigit0 + static_cast<int>(shiftedKeyval - '0'));
    }
    return key;
}

double ParseEnteredValue(const char* text, const IParameter& parameter)
{
    if (!text) {
        text = "";
    }
    if (parameter.type == IParameter::TypeToggle || parameter.type == IParameter::TypeChoice) {
        for (const DisplayTextEntry& entry : parameter.displayTexts) {
            if (std::strcmp(entry.text, text) == 0) {
                return entry.value;
            }
        }
        return 0.0;
    }
    double v = std::strtod(text, nullptr);
    if (!std::isfinite(v)) {
        // "inf"/"nan" are not values a parameter can take; treat as no number.
        v = 0.0;
    }
    return parameter.negateDisplay ? -v : v;
}

void CommitEnteredText(IControl& control, IParameter* parameter, const char* text)
{
    const std::string limited = LimitEntryText(text);
    if (parameter != nullptr) {
        control.TakeEnteredValue(parameter->ToNormalized(ParseEnteredValue(limited.c_str(), *parameter)));
    } else {
        control.TakeEnteredText(limited.c_str());
    }
}

bool AcceptEntryCharacter(uint32_t c, const IParameter* parameter)
{
    if (!parameter || c == 8) {
        return true;
    }
    bool signOrDigit = c == '+' || c == '-' || (c >= '0' && c <= '9');
    switch (parameter->type) {
    case IParameter::TypeToggle:
    case IParameter::TypeInteger:
    case IParameter::TypeChoice: return signOrDigit;
    case IParameter::TypeContinuous: return signOrDigit || c == '.';
    default: return true;
    }
}

std::string LimitEntryText(const char* text)
{
    std::string s = text ? text : "";
    if (s.size() <= static_cast<size_t>(kEntryTextLimit)) {
        return s;
    }
    size_t n = kEntryTextLimit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) {
        --n;
    }
    s.resize(n);
    return s;
}

std::string DirectoryOfPath(const std::string& path)
{
    if (path.size() < 2) {
        return {};
    }
    size_t slash = path.find_last_of('/', path.size() - 2);
    if (slash == std::string::npos) {
        return {};
    }
    return path.substr(0, slash + 1);
}

bool BuildFileFilter(const char* extensions, std::string& pattern, std::string& defaultExtension)
{
    pattern.clear();
    defaultExtension.clear();
    if (!extensions) {
        return false;
    }
    std::string list = extensions;
    size_t pos = 0;
    bool first = true;
    while (pos < list.size()) {
        size_t end = list.find(' ', pos);
        if (end == std::string::npos) {
            end = list.size();
        }
        if (end > pos) {
            std::string ext = list.substr(pos, end - pos);
            if (first) {
                defaultExtension = ext;
                first = false;
            } else {
                pattern += ';';
            }
            pattern += "*." + ext;
        }
        pos = end + 1;
    }
    if (pattern.empty() || pattern.size() > 126 || defaultExtension.size() > 15) {
        pattern.clear();
        defaultExtension.clear();
        return false;
    }
    return true;
}

int MessageBoxButtonSet(int type)
{
    int set = type & 0xF;
    switch (set) {
    case MessageBoxOkCancel:
    case MessageBoxYesNoCancel:
    case MessageBoxYesNo: return set;
    default: return MessageBoxOk;
    }
}

int MessageBoxResult(int type, MessageBoxChoice choice)
{
    int set = MessageBoxButtonSet(type);
    switch (choice) {
    case MessageBoxChoice::Ok: return ResultOk;
    case MessageBoxChoice::Cancel: return ResultCancel;
    case MessageBoxChoice::Yes: return ResultYes;
    case MessageBoxChoice::No: return ResultNo;
    case MessageBoxChoice::Closed: break;
    }
    if (set == MessageBoxOkCancel || set == MessageBoxYesNoCancel) {
        return ResultCancel;
    }
    if (set == MessageBoxYesNo) {
        return ResultNo;
    }
    return ResultOk;
}
