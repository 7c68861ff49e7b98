// Building blocks of the canvas commands: anchors, whole layer stacks rebuilt for a new canvas,
// the turned store and the sparse write of a flat image into a store.
#pragma once
#include <cstdint>
#include <memory>

#include "document/LayerMngr.h"
#include "paper/LayerBuild.h"
#include "platform/Window.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// Canvas sides a canvas command accepts.
inline constexpr int32_t kMinCanvasSide = 1;
inline constexpr int32_t kMaxCanvasSide = 10000;
inline bool CanvasSideValid(int64_t side) { return side >= kMinCanvasSide && side <= kMaxCanvasSide; }
// Store sides the canvas commands and the moves build: what the tiled store addresses with an
// int32 count of 32x32 tiles, and what keeps offsets and positions inside int32.
inline constexpr int64_t kMaxStoreSide = kMaxLayerStoreSide;
bool StoreSizeAddressable(int64_t width, int64_t height);

// Messages of the canvas commands (shown through ShowWarning); %s is the command's word.
inline constexpr const char* kCanvasOutOfMemoryText = "メモリ不足により%sの実行に失敗しました！";
inline constexpr const char* kCanvasExceptionText = "予期しない例外により%sの実行に失敗しました！";
inline constexpr const char* kTurnWord = "回転";
inline constexpr const char* kTrimWord = "切り抜き";
inline constexpr const char* kUndoWord = "アンドゥ";
inline constexpr const char* kNoUndoQuestionText = "メモリ不足のため%sは実行できませんがよろしいですか?";
inline constexpr const char* kSaveFirstText = "* 実行前にファイルを保存しておくことをおすすめします *";
inline constexpr const char* kResamplingText = "解像度を変更しています";
inline constexpr const char* kProcessingLayerText = "%sを処理中...";
inline constexpr const char* kNotImplementedText = "not implemented!";

// Where a b-sized rectangle sits inside an a-sized one for the anchor 3 x column + row (column
// 0 left, 1 centre, 2 right; row 0 top, 1 middle, 2 bottom; any other value acts as 0). The
// centre divides toward zero.
TPoint AnchorOffset(const SSize& a, const SSize& b, uint8_t anchor);

// A new layer stack of the new canvas size keeping all content: the old canvas lies at d in the
// new one, every store grows to cover the new canvas. Null (and a developer-output line when an
// exception was caught) when it cannot be made.
std::unique_ptr<CLayerMngr> MakeResizeLayerEx(const CLayerMngr& layers, const TPoint& d, const SSize& size,
                                              bool keepAttributes);
// A new layer stack cropped to the rectangle (canvas coordinates): every store exactly the new
// canvas, offset 0. Null when it cannot be made.
std::unique_ptr<CLayerMngr> MakeResizeLayer(const CLayerMngr& layers, const SRectWH& rect, bool keepAttributes);
// Store size and offset of a layer resampled to a new canvas (the store scaled with the canvas,
// the offset pulled back so that the canvas lies inside the store).
struct SZoomGeometry {
  int64_t width = 0;
  int64_t height = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
};
SZoomGeometry ZoomGeometry(const CLayerData& layer, const SSize& size);
// A new layer stack resampled to the new canvas: method 1 samples (4 x 4 per pixel), method 2
// averages areas; any other method gives null. A progress dialog over owner shows the layers.
std::unique_ptr<CLayerMngr> MakeZoomLayer(const CLayerMngr& layers, const SSize& size, int32_t method,
                                          bool keepAttributes, WindowHandle owner);
inline std::unique_ptr<CLayerMngr> MakeZoomLayerSampled(const CLayerMngr& layers, const SSize& size,
                                                        bool keepAttributes, WindowHandle owner) {
  return MakeZoomLayer(layers, size, 1, keepAttributes, owner);
}
inline std::unique_ptr<CLayerMngr> MakeZoomLayerAveraged(const CLayerMngr& layers, const SSize& size,
                                                         bool keepAttributes, WindowHandle owner) {
  return MakeZoomLayer(layers, size, 2, keepAttributes, owner);
}
// The whole source resampled into the whole destination by the method (1 or 2).
bool ResampleStore(const CBlockVMTC& source, CBlockVMTC& dest, int32_t method);

// The source turned by 90 degrees into dest, which must be source height x source width. A
// destination tile whose source pixels all read one uncommitted fill stays uncommitted with that
// fill. False when a tile cannot be committed (dest then holds part of the turn).
bool TurnStoreInto(const CBlockVMTC& source, CBlockVMTC& dest, bool clockwise);

// Writes the rectangle of the image into the store at the point (clipped to both), committing
// only the tiles whose part is not one value equal to the tile's fill (an uncommitted tile the
// part covers whole takes the value as its fill). False when a tile cannot be committed.
bool PutImageSparse(CBlockVMTC& store, const TMTC& image, const TPoint& at, const SRectWH& source);

}  // namespace tf
