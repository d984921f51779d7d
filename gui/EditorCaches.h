#pragma once

// The image and font caches are shared by every editor in the process. An
// editor holds them from its construction to its destruction, since its
// controls point into them; when the last editor goes they are emptied, so a
// plug-in UI opened and closed many times in a host keeps nothing behind and
// no image or font outlives the editors that used it. Any thread.
void RetainEditorCaches();
void ReleaseEditorCaches();
