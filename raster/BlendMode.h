#pragma once

// The blend mode word shared by BlitBitmap, FillRectangle and the fonts: the
// low byte selects the operation, BlendUseSourceAlpha weights by source alpha.
constexpr int BlendModeCopy = 0;
constexpr int BlendModeAdd = 1;
constexpr int BlendModeDodge = 2;
constexpr int BlendModeMultiply = 3;
constexpr int BlendModeOverlay = 4;
constexpr int BlendModeHsvAdjust = 5;
// Low bytes 0xF0-0xFF (BlitBitmap only): bits 0-1 source channel, bits 2-3
// destination channel (0 blue, 1 green, 2 red, 3 alpha).
constexpr int BlendModeChannelCopy = 0xF0;
constexpr int BlendUseSourceAlpha = 0x10000;
