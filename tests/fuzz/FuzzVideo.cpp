// Video files as the players' streams decode them: the container and codec opened from the
// bytes, the film played to its end in steps of a tenth of a second with every new picture
// converted in both surface layouts, then rewound and its first picture shown again.
#include "FuzzFiles.h"

#include "platform/video/VideoFile.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VideoFile::OpenError error = VideoFile::OpenError::None;
    std::string message;
    auto file = VideoFile::Open(std::vector<uint8_t>(data, data + size), error, message);
    if (file == nullptr) {
        Fuzz::Check(error != VideoFile::OpenError::None && !message.empty(), "a refused file says why");
        return 0;
    }
    Fuzz::Check(file->Width() >= 1 && file->Width() <= VideoFile::MaxSide && file->Height() >= 1 &&
                    file->Height() <= VideoFile::MaxSide,
                "an opened film has a picture size in range");
    // Converting pictures of a million pixels and more is not what a fuzzer is here to find.
    const bool copy = static_cast<uint64_t>(file->Width()) * file->Height() <= (1u << 20);
    std::vector<uint8_t> pixels(copy ? static_cast<size_t>(file->Width()) * file->Height() * 4 : 0);
    int step = 0;
    // Pictures are at most 10 s apart and last at most 10 s: a film of n pictures ends by 10 n + 10 s.
    for (; step < 100000; ++step) {
        const VideoFile::Show show = file->ShowAt(step * 0.1);
        if (show == VideoFile::Show::End) {
            break;
        }
        if (show == VideoFile::Show::Picture && copy) {
            file->CopyPicture(pixels.data(), file->Width() * 4, VideoFile::Layout::X8R8G8B8);
            file->CopyPicture(pixels.data(), file->Width() * 2, VideoFile::Layout::R5G6B5);
        }
        Fuzz::Check(step * 0.1 <= file->PicturesShown() * 10.0 + 10.0 + 1e-6, "a film ends in time");
    }
    if (file->Rewind() && file->ShowAt(0.0) == VideoFile::Show::Picture && copy) {
        file->CopyPicture(pixels.data(), file->Width() * 4, VideoFile::Layout::X8R8G8B8);
    }
    return 0;
}
