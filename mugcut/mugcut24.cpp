// mugcut24: splits kaodata.s6 into 24-bit face bitmaps and an index page
// without captions.

#include "splitter.h"

namespace {

const splitter_settings mugcut24_settings{
    "三国志6 顔グラ分割(kaodata.s6 → 24bitBMPファイル)",
    "SAN6\\kaodata.s6",
    "palette",
    "Error:palette.s6ファイルからパレット情報を読めません\n",
    "KAO_S6_24BMP",
    "Error:kaodata.s6ファイルから顔グラ個数を読めません\n",
    bitmap_depth::true_colour24,
    page_variant::uncaptioned,
    &splitter24_dialogue,
};

} // namespace

int main() {
    return run_splitter(mugcut24_settings);
}
