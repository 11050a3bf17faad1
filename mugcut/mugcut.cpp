// mugcut: splits kaodata.s7 into 8-bit face bitmaps and a captioned index page.

#include "splitter.h"

namespace {

const splitter_settings mugcut_settings{
    "三国志7 顔グラ分割(kaoadata.s7 → 8bitBMPファイル)",
    "SAN7\\kaodata.s7",
    "p_kao",
    "Error:p_kao.s7ファイルからパレット情報を読めません\n",
    "KAO_BMP",
    "Error:kaodata.s7ファイルから顔グラ個数を読めません\n",
    bitmap_depth::indexed8,
    page_variant::captioned,
    &splitter_dialogue,
};

} // namespace

int main() {
    return run_splitter(mugcut_settings);
}
