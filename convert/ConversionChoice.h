// How the conversion picks each block: which color difference decides the nearest entry, and
// whether the error of each choice is spread to the pixels around it.
#pragma once

namespace tesselbox {

enum class MatchMode {
    Rgb,         // Euclidean distance of the 8-bit channels, ties to the lower index
    Perceptual,  // CIEDE2000 in CIELAB (D65), ties to the lower index
};

enum class DitherMode {
    None,
    FloydSteinberg,  // error diffusion in linear light, serpentine
    Ordered,         // an 8 x 8 Bayer pattern over four entries a color: it stays where it is put
};

struct ConversionChoice {
    MatchMode match = MatchMode::Rgb;
    DitherMode dither = DitherMode::None;
    // Floyd-Steinberg's choices then refined against the picture seen from a step back: closer to
    // it there, at several times the diffusion's cost.
    bool refine = false;
    bool operator==(const ConversionChoice&) const = default;
};

}  // namespace tesselbox
