#pragma once

#include <memory>

class IAudioPlugin;
class IGraphics;

// Makes the window editor for a plug-in, so the effect needs no window system:
// the program installs one that makes the GTK editor, tests a headless one.
using EditorFactory = std::unique_ptr<IGraphics> (*)(IAudioPlugin* plug, int width, int height, int frameRate);

// UI thread, before plug-ins are created. Also installs the effect's editor
// builder, which lays the effect's knobs out in such a window editor.
// Null: plug-ins get no editor.
void SetEditorFactory(EditorFactory factory);

// UI thread. The installed factory's editor, or null when none is installed.
std::unique_ptr<IGraphics> MakeEditor(IAudioPlugin* plug, int width, int height, int frameRate);
