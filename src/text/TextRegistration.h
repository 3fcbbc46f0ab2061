#pragma once

// Plugs the message text parser into the message records (their display bodies, HTML
// unescaping and inline pictures). The programs call it once at start-up; the model layer
// itself does not know about the text layer.
void registerTextLayerWithModel();

// Attribute names of the styled bodies the message records keep, for the views.
namespace RTTextAttributeName {
inline constexpr char Link[] = "link";
inline constexpr char FontFamily[] = "fontFamily";
inline constexpr char FontSize[] = "fontSize";
inline constexpr char Bold[] = "bold";
inline constexpr char TextColor[] = "textColor";
inline constexpr char UnderlineColor[] = "underlineColor";
inline constexpr char StrokeColor[] = "strokeColor";
inline constexpr char PointingHandCursor[] = "pointingHandCursor";
} // namespace RTTextAttributeName

class RTAttributedString;
class RTStyledText;
// The styled text in the model's form: one attribute per run, only those that are set.
[[nodiscard]] RTAttributedString attributedStringFromStyledText(const RTStyledText &styled);
