// The display texts of the filters (UTF-8): their names, the Filter > Repeat captions.
#pragma once
// Kept together so the language module can supply them.

namespace tf::texts {

inline constexpr const char* kFilterRepeat = "フィルタの再実行(&L)";
// The Filter > Repeat caption once a filter ran: the filter's name in place of %s.
inline constexpr const char* kFilterRepeatFormat = "%s(&L)";

inline constexpr const char* kFilterBrightnessContrast = "明るさ・コントラスト";
inline constexpr const char* kFilterColorBalance = "カラーバランス";
inline constexpr const char* kFilterGradientMap = "グラデーションマップ";
inline constexpr const char* kFilterHueSaturation = "色相・彩度";
inline constexpr const char* kFilterInvert = "色調反転";
inline constexpr const char* kFilterFlipHorizontal = "左右反転";
inline constexpr const char* kFilterFlipVertical = "上下反転";
inline constexpr const char* kFilterRotate180 = "180°回転";
inline constexpr const char* kFilterLevels = "レベル補正";
inline constexpr const char* kFilterPosterize = "ポスタリゼーション";
inline constexpr const char* kFilterThreshold = "モノクロ2階調";
inline constexpr const char* kFilterBlur = "ぼかし";
inline constexpr const char* kFilterBlurMore = "ぼかし(強)";
inline constexpr const char* kFilterRadialBlur = "ぼかし(ズーム)";
inline constexpr const char* kFilterMotionBlur = "ぼかし(移動)";
inline constexpr const char* kFilterGaussianBlur = "ぼかし(ガウス)";
inline constexpr const char* kFilterPolar = "極座標";
inline constexpr const char* kFilterRotate = "回転";
inline constexpr const char* kFilterScale = "拡大縮小";
inline constexpr const char* kFilterNoise = "ノイズ";
inline constexpr const char* kFilterColorHalftone = "カラーハーフトーン";
inline constexpr const char* kFilterMosaic = "モザイク";
inline constexpr const char* kFilterMedian = "明るさの中間値";
inline constexpr const char* kFilterSharpen = "シャープ";
inline constexpr const char* kFilterSharpenMore = "シャープ(強)";
inline constexpr const char* kFilterSharpenCustom = "シャープ(カスタム)";
inline constexpr const char* kFilterDiffuse = "拡散";
inline constexpr const char* kFilterEmboss = "エンボス";
inline constexpr const char* kFilterFindEdges = "輪郭検出";
inline constexpr const char* kFilterSolarize = "ソラリゼーション";
inline constexpr const char* kFilterTiles = "タイル";
inline constexpr const char* kFilterClouds = "雲模様";
inline constexpr const char* kFilterClouds2 = "雲模様2";
inline constexpr const char* kFilterPlasma = "プラズマ";
inline constexpr const char* kFilterCloudsRock = "雲模様・岩模様";
inline constexpr const char* kFilterWave = "波";
inline constexpr const char* kFilterTwirl = "渦巻き";
inline constexpr const char* kFilterCustom = "カスタム";
inline constexpr const char* kFilterLighting = "照明";
inline constexpr const char* kFilterFloor = "床";
// Luminance to alpha has no name of its own: it never becomes Filter > Repeat's.
inline constexpr const char* kNoFilterName = nullptr;

}  // namespace tf::texts
