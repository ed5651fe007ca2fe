// The picture-size probe of the script function GetTextureSize: any bytes give a size or a
// refusal, and a size given is never zero.
#include "FuzzFiles.h"

#include "script/ImageSize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImageSize image;
    if (ReadImageSize(data, size, image)) {
        Fuzz::Check(image.Width > 0 && image.Height > 0, "a size given is never zero");
    } else {
        Fuzz::Check(image.Width == 0 && image.Height == 0, "a refusal gives 0 x 0");
    }
    return 0;
}
