// The display texts of tools, paint kinds and their settings (UTF-8).
#pragma once
// Kept together so the language module can supply them; brush names made from the kind names are
// turned into code page 932 bytes where they become preset names.

namespace tf::texts {

inline constexpr const char* kPencil = "鉛筆";
inline constexpr const char* kEraser = "消しゴム";
inline constexpr const char* kMagicEraser = "マジック消しゴム";
inline constexpr const char* kWatercolour = "透明水彩";
inline constexpr const char* kAirbrush = "エアーブラシ";
inline constexpr const char* kBlur = "ぼかし";
inline constexpr const char* kFingertip = "指先";
inline constexpr const char* kSpread = "のばし";
inline constexpr const char* kBurn = "焼き込み";
inline constexpr const char* kDodge = "覆い焼き";
inline constexpr const char* kRectFill = "矩形塗りつぶし";
inline constexpr const char* kEllipseFill = "楕円塗りつぶし";
inline constexpr const char* kPolygonFill = "多角形塗りつぶし";
inline constexpr const char* kFreeFill = "自由塗りつぶし";
inline constexpr const char* kBucketFill = "塗りつぶし";
inline constexpr const char* kGradient = "グラデーション";
inline constexpr const char* kRectSelect = "矩形選択";
inline constexpr const char* kEllipseSelect = "楕円選択";
inline constexpr const char* kPolygonSelect = "多角形選択";
inline constexpr const char* kFreeSelect = "自由選択";
inline constexpr const char* kMagicWand = "自動選択";
inline constexpr const char* kLayerMove = "レイヤ移動";
inline constexpr const char* kLayerMoveWithSelection = "レイヤ移動(選択範囲追随)";
inline constexpr const char* kText = "文字描画";
inline constexpr const char* kTextSelect = "文字選択";
inline constexpr const char* kCrop = "切り抜き";
inline constexpr const char* kEyedropper = "スポイト";
inline constexpr const char* kHand = "手のひら";
inline constexpr const char* kZoom = "ズーム";
inline constexpr const char* kNameJoin = " - ";
inline constexpr const char* kOlderCompatible = "3互換";

inline constexpr const char* kFreehand = "フリーハンド";
inline constexpr const char* kSingleLine = "単線描画";
inline constexpr const char* kPolyline = "複線描画";
inline constexpr const char* kRectangle = "矩形描画";
inline constexpr const char* kEllipse = "楕円描画";
inline constexpr const char* kPolygon = "多角形描画";

// Effect labels.
inline constexpr const char* kEffect = "効果";
inline constexpr const char* kSpreadEffect = "のばし効果";
inline constexpr const char* kBlurEffect = "ぼかし効果";
inline constexpr const char* kReach = "影響距離";
inline constexpr const char* kEffectReach = "効果の影響距離";
inline constexpr const char* kBlurStrength = "ぼかし強度";
inline constexpr const char* kExposure = "露出量";
// A hint is the label, "|", the label and this suffix.
inline constexpr const char* kChangeSuffix = "の変更";

// Brush set messages.
inline constexpr const char* kBrushSetWord = "ブラシ集";

}  // namespace tf::texts
