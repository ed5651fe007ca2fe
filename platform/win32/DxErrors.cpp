// Names and descriptions of the result codes, looked up in one table sorted once by value.
// The descriptions are our own short wording of each code's documented meaning.
#include "platform/win32/DxErrors.h"

#include "platform/win32/ComRuntime.h"
#include "platform/ui/Ole.h"
#include "platform/ui/OleAuto.h"

#include <algorithm>
#include <array>

namespace {

struct ErrorText {
    HRESULT Code;
    const char* Name;
    const char* Description;
};

#define ERROR_TEXT(code, description) ErrorText{code, #code, description}

// Aliases (DSERR_INVALIDPARAM, DDERR_GENERIC, ...) are left out: their value is listed once,
// under the generic name.
constexpr ErrorText Table[] = {
    ERROR_TEXT(S_OK, "The operation succeeded."),
    ERROR_TEXT(S_FALSE, "The operation succeeded and returned false."),
    ERROR_TEXT(E_NOTIMPL, "The function or feature is not implemented."),
    ERROR_TEXT(E_NOINTERFACE, "The requested interface is not supported."),
    ERROR_TEXT(E_POINTER, "An invalid pointer was passed."),
    ERROR_TEXT(E_ABORT, "The operation was aborted."),
    ERROR_TEXT(E_FAIL, "An unspecified error occurred."),
    ERROR_TEXT(E_UNEXPECTED, "A catastrophic failure occurred."),
    ERROR_TEXT(E_OUTOFMEMORY, "Not enough memory was available to complete the operation."),
    ERROR_TEXT(E_INVALIDARG, "One or more arguments are invalid."),
    ERROR_TEXT(E_ACCESSDENIED, "Access was denied."),
    ERROR_TEXT(E_HANDLE, "The handle is invalid."),
    ERROR_TEXT(RPC_E_CHANGED_MODE, "COM was already initialised on this thread with another concurrency model."),
    ERROR_TEXT(REGDB_E_CLASSNOTREG, "The requested class is not registered."),
    ERROR_TEXT(CO_E_NOTINITIALIZED, "COM has not been initialised on this thread."),
    ERROR_TEXT(CLASS_E_NOAGGREGATION, "The class does not support aggregation."),
    ERROR_TEXT(OLE_E_NOTRUNNING, "The object is not running."),
    ERROR_TEXT(OLE_E_WRONGCOMPOBJ, "The object is not an OLE object of the expected kind."),
    ERROR_TEXT(DISP_E_BADVARTYPE, "The variant type is not valid."),

    ERROR_TEXT(D3DOK_NOAUTOGEN, "Success, but mipmaps cannot be generated automatically for this format."),
    ERROR_TEXT(D3DERR_WRONGTEXTUREFORMAT, "The pixel format of the texture surface is not valid."),
    ERROR_TEXT(D3DERR_UNSUPPORTEDCOLOROPERATION, "The device does not support a colour blending operation that was requested."),
    ERROR_TEXT(D3DERR_UNSUPPORTEDCOLORARG, "The device does not support a colour argument that was requested."),
    ERROR_TEXT(D3DERR_UNSUPPORTEDALPHAOPERATION, "The device does not support an alpha blending operation that was requested."),
    ERROR_TEXT(D3DERR_UNSUPPORTEDALPHAARG, "The device does not support an alpha argument that was requested."),
    ERROR_TEXT(D3DERR_TOOMANYOPERATIONS, "More texture filtering operations were requested than the device supports."),
    ERROR_TEXT(D3DERR_CONFLICTINGTEXTUREFILTER, "The current texture filters cannot be used together."),
    ERROR_TEXT(D3DERR_UNSUPPORTEDFACTORVALUE, "The device does not support the specified texture factor value."),
    ERROR_TEXT(D3DERR_CONFLICTINGRENDERSTATE, "The render states currently set cannot be used together."),
    ERROR_TEXT(D3DERR_UNSUPPORTEDTEXTUREFILTER, "The device does not support the specified texture filter."),
    ERROR_TEXT(D3DERR_CONFLICTINGTEXTUREPALETTE, "The current textures cannot be used at the same time."),
    ERROR_TEXT(D3DERR_DRIVERINTERNALERROR, "The driver hit an internal error; the device should be released."),
    ERROR_TEXT(D3DERR_NOTFOUND, "The requested item was not found."),
    ERROR_TEXT(D3DERR_MOREDATA, "There is more data available than the buffer can hold."),
    ERROR_TEXT(D3DERR_DEVICELOST, "The device has been lost and cannot be reset yet; rendering is not possible."),
    ERROR_TEXT(D3DERR_DEVICENOTRESET, "The device has been lost and can be reset now."),
    ERROR_TEXT(D3DERR_NOTAVAILABLE, "The device does not support the queried technique."),
    ERROR_TEXT(D3DERR_INVALIDDEVICE, "The requested device type is not valid."),
    ERROR_TEXT(D3DERR_INVALIDCALL, "The method call is invalid, for example a parameter has an invalid value."),
    ERROR_TEXT(D3DERR_DRIVERINVALIDCALL, "The driver rejected the call."),
    ERROR_TEXT(D3DERR_OUTOFVIDEOMEMORY, "There is not enough display memory to complete the operation."),
    ERROR_TEXT(D3DERR_WASSTILLDRAWING, "The previous operation on this surface is still in progress."),

    ERROR_TEXT(D3DXERR_CANNOTMODIFYINDEXBUFFER, "The index buffer cannot be modified."),
    ERROR_TEXT(D3DXERR_INVALIDMESH, "The mesh is invalid."),
    ERROR_TEXT(D3DXERR_CANNOTATTRSORT, "Sorting by attribute is not supported as an optimisation technique."),
    ERROR_TEXT(D3DXERR_SKINNINGNOTSUPPORTED, "Skinning is not supported."),
    ERROR_TEXT(D3DXERR_TOOMANYINFLUENCES, "Too many influences were specified."),
    ERROR_TEXT(D3DXERR_INVALIDDATA, "The data is invalid."),
    ERROR_TEXT(D3DXERR_LOADEDMESHASNODATA, "The mesh has no data."),
    ERROR_TEXT(D3DXERR_DUPLICATENAMEDFRAGMENT, "A fragment with that name already exists."),
    ERROR_TEXT(D3DXERR_CANNOTREMOVELASTITEM, "The last item cannot be deleted."),

    ERROR_TEXT(DDERR_INVALIDOBJECT, "The object pointer passed is not a valid DirectDraw object."),
    ERROR_TEXT(DDERR_INVALIDPIXELFORMAT, "The pixel format is invalid."),
    ERROR_TEXT(DDERR_INVALIDRECT, "The rectangle provided is invalid."),
    ERROR_TEXT(DDERR_SURFACEBUSY, "The surface is locked by another thread."),
    ERROR_TEXT(DDERR_SURFACELOST, "The surface memory is gone; the surface must be restored."),
    ERROR_TEXT(DDERR_NOTLOCKED, "The surface was not locked."),

    ERROR_TEXT(DS_NO_VIRTUALIZATION, "The buffer was created, but another 3-D algorithm was substituted."),
    ERROR_TEXT(DS_INCOMPLETE, "The call succeeded, but not all of the optional effects were obtained."),
    ERROR_TEXT(DSERR_ALLOCATED, "A resource such as a priority level is already in use by another caller."),
    ERROR_TEXT(DSERR_CONTROLUNAVAIL, "The buffer control (volume, pan, ...) requested was not given when the buffer was created."),
    ERROR_TEXT(DSERR_INVALIDCALL, "The call is not valid in the current state of the object."),
    ERROR_TEXT(DSERR_PRIOLEVELNEEDED, "The call needs a higher cooperative level."),
    ERROR_TEXT(DSERR_BADFORMAT, "The wave format is not supported."),
    ERROR_TEXT(DSERR_NODRIVER, "No sound driver is available."),
    ERROR_TEXT(DSERR_ALREADYINITIALIZED, "The object is already initialised."),
    ERROR_TEXT(DSERR_BUFFERLOST, "The buffer memory has been lost and must be restored."),
    ERROR_TEXT(DSERR_OTHERAPPHASPRIO, "Another application has a higher priority level."),
    ERROR_TEXT(DSERR_UNINITIALIZED, "The object has not been initialised."),
    ERROR_TEXT(DSERR_BUFFERTOOSMALL, "The buffer is too small for effects processing."),
    ERROR_TEXT(DSERR_DS8_REQUIRED, "The feature needs a DirectSound 8 object."),
    ERROR_TEXT(DSERR_SENDLOOP, "A circular loop of send effects was found."),
    ERROR_TEXT(DSERR_BADSENDBUFFERGUID, "The send-buffer identifier does not match a mix-in buffer."),
    ERROR_TEXT(DSERR_FXUNAVAILABLE, "The requested effect is not available."),
    ERROR_TEXT(DSERR_OBJECTNOTFOUND, "The requested object was not found."),

    ERROR_TEXT(VFW_S_NO_MORE_ITEMS, "The end of the list was reached."),
    ERROR_TEXT(VFW_S_DUPLICATE_NAME, "A filter with a duplicate name was added under a changed name."),
    ERROR_TEXT(VFW_S_STATE_INTERMEDIATE, "The state transition has not completed."),
    ERROR_TEXT(VFW_S_PARTIAL_RENDER, "Some of the streams are in an unsupported format."),
    ERROR_TEXT(VFW_S_SOME_DATA_IGNORED, "The file held some settings that were not used."),
    ERROR_TEXT(VFW_S_CONNECTIONS_DEFERRED, "Some connections failed and were deferred."),
    ERROR_TEXT(VFW_S_VIDEO_NOT_RENDERED, "The video stream cannot be played: no suitable renderer."),
    ERROR_TEXT(VFW_S_AUDIO_NOT_RENDERED, "The audio stream cannot be played: no suitable renderer."),
    ERROR_TEXT(VFW_E_INVALIDMEDIATYPE, "The media type is invalid."),
    ERROR_TEXT(VFW_E_INVALIDSUBTYPE, "The media subtype is invalid."),
    ERROR_TEXT(VFW_E_NEED_OWNER, "The object can only be created as an aggregated object."),
    ERROR_TEXT(VFW_E_ENUM_OUT_OF_SYNC, "The enumerated object changed; the enumerator must be reset."),
    ERROR_TEXT(VFW_E_ALREADY_CONNECTED, "A pin of the operation is already connected."),
    ERROR_TEXT(VFW_E_FILTER_ACTIVE, "The operation cannot be done while the filter is active."),
    ERROR_TEXT(VFW_E_NO_TYPES, "A pin supports no media types."),
    ERROR_TEXT(VFW_E_NO_ACCEPTABLE_TYPES, "The pins have no media type in common."),
    ERROR_TEXT(VFW_E_INVALID_DIRECTION, "Two pins of the same direction cannot be connected."),
    ERROR_TEXT(VFW_E_NOT_CONNECTED, "The pins are not connected."),
    ERROR_TEXT(VFW_E_NO_ALLOCATOR, "No sample buffer allocator is available."),
    ERROR_TEXT(VFW_E_RUNTIME_ERROR, "A run-time error occurred."),
    ERROR_TEXT(VFW_E_BUFFER_NOTSET, "No buffer space has been set."),
    ERROR_TEXT(VFW_E_BUFFER_OVERFLOW, "The buffer is not big enough."),
    ERROR_TEXT(VFW_E_BADALIGN, "An invalid alignment was given."),
    ERROR_TEXT(VFW_E_ALREADY_COMMITTED, "The allocator is committed; its properties cannot change."),
    ERROR_TEXT(VFW_E_BUFFERS_OUTSTANDING, "Buffers are still in use by the allocator."),
    ERROR_TEXT(VFW_E_NOT_COMMITTED, "A sample cannot be allocated while the allocator is not committed."),
    ERROR_TEXT(VFW_E_SIZENOTSET, "The buffer size has not been set."),
    ERROR_TEXT(VFW_E_NO_CLOCK, "No reference clock has been defined."),
    ERROR_TEXT(VFW_E_NO_SINK, "No event sink has been set."),
    ERROR_TEXT(VFW_E_NO_INTERFACE, "A required interface was not found."),
    ERROR_TEXT(VFW_E_NOT_FOUND, "An object or name was not found."),
    ERROR_TEXT(VFW_E_CANNOT_CONNECT, "No combination of intermediate filters could connect the pins."),
    ERROR_TEXT(VFW_E_CANNOT_RENDER, "No combination of filters could render the stream."),
    ERROR_TEXT(VFW_E_CHANGING_FORMAT, "The media type could not be changed dynamically."),
    ERROR_TEXT(VFW_E_STATE_CHANGED, "The state changed while the operation was running."),
    ERROR_TEXT(VFW_E_NOT_STOPPED, "The operation needs the filter to be stopped."),
    ERROR_TEXT(VFW_E_NOT_PAUSED, "The operation needs the filter to be paused."),
    ERROR_TEXT(VFW_E_NOT_RUNNING, "The operation needs the filter to be running."),
    ERROR_TEXT(VFW_E_WRONG_STATE, "The filter is in the wrong state for the operation."),
    ERROR_TEXT(VFW_E_START_TIME_AFTER_END, "The sample start time is after its end time."),
    ERROR_TEXT(VFW_E_INVALID_RECT, "The rectangle is invalid."),
    ERROR_TEXT(VFW_E_TYPE_NOT_ACCEPTED, "The pin does not accept this media type."),
    ERROR_TEXT(VFW_E_SAMPLE_REJECTED, "The sample cannot be rendered."),
    ERROR_TEXT(VFW_E_SAMPLE_REJECTED_EOS, "The sample cannot be rendered after the end of the stream."),
    ERROR_TEXT(VFW_E_DUPLICATE_NAME, "A filter with this name is already in the graph."),
    ERROR_TEXT(VFW_E_TIMEOUT, "A time-out has expired."),
    ERROR_TEXT(VFW_E_INVALID_FILE_FORMAT, "The file format is invalid."),
    ERROR_TEXT(VFW_E_ENUM_OUT_OF_RANGE, "The list has been exhausted."),
    ERROR_TEXT(VFW_E_CIRCULAR_GRAPH, "The filter graph is circular."),
    ERROR_TEXT(VFW_E_NOT_ALLOWED_TO_SAVE, "Updates are not allowed in this state."),
    ERROR_TEXT(VFW_E_TIME_ALREADY_PASSED, "A command was scheduled for a time that has passed."),
    ERROR_TEXT(VFW_E_ALREADY_CANCELLED, "The scheduled command has already been cancelled."),
    ERROR_TEXT(VFW_E_CORRUPT_GRAPH_FILE, "The graph file is corrupt."),
    ERROR_TEXT(VFW_E_ADVISE_ALREADY_SET, "An advise link already exists."),
    ERROR_TEXT(VFW_E_NO_ADVISE_SET, "No advise link has been set."),
    ERROR_TEXT(VFW_E_UNKNOWN_FILE_TYPE, "The media type of this file is not recognised."),
    ERROR_TEXT(VFW_E_CANNOT_LOAD_SOURCE_FILTER, "The source filter for this file could not be loaded."),
    ERROR_TEXT(VFW_E_FILE_TOO_SHORT, "The file is shorter than expected."),
    ERROR_TEXT(VFW_E_INVALID_FILE_VERSION, "The file's version number is invalid."),
    ERROR_TEXT(VFW_E_INVALID_CLSID, "The file holds an invalid class identifier."),
    ERROR_TEXT(VFW_E_INVALID_MEDIA_TYPE, "The file holds an invalid media type."),
    ERROR_TEXT(VFW_E_SAMPLE_TIME_NOT_SET, "The sample has no time stamps."),
    ERROR_TEXT(VFW_E_MEDIA_TIME_NOT_SET, "No media time was set for the sample."),
    ERROR_TEXT(VFW_E_NO_TIME_FORMAT_SET, "No time format has been selected."),
    ERROR_TEXT(VFW_E_MONO_AUDIO_HW, "The audio device cannot play the stream in its channel layout."),
    ERROR_TEXT(VFW_E_NO_DECOMPRESSOR, "No decompressor was found for the video stream."),
    ERROR_TEXT(VFW_E_NO_AUDIO_HARDWARE, "The audio stream cannot be played: no audio hardware is available."),
    ERROR_TEXT(VFW_E_UNSUPPORTED_AUDIO, "The audio compression format is not supported."),
    ERROR_TEXT(VFW_E_UNSUPPORTED_VIDEO, "The video compression format is not supported."),
    ERROR_TEXT(VFW_E_NOT_IN_GRAPH, "The object is not in the filter graph."),
    ERROR_TEXT(VFW_E_NO_TIME_FORMAT, "The object does not support the time format."),
    ERROR_TEXT(VFW_E_READ_ONLY, "The object is read-only."),
    ERROR_TEXT(VFW_E_BUFFER_UNDERFLOW, "The buffer holds too little data."),
    ERROR_TEXT(VFW_E_UNSUPPORTED_STREAM, "The file format is not supported."),
    ERROR_TEXT(VFW_E_NO_TRANSPORT, "The pins cannot connect: no common transport."),

    ERROR_TEXT(MS_S_PENDING, "The sample update has not completed yet."),
    ERROR_TEXT(MS_S_NOUPDATE, "The sample was not updated after a forced completion."),
    ERROR_TEXT(MS_S_ENDOFSTREAM, "End of stream; the sample was not updated."),
    ERROR_TEXT(MS_E_SAMPLEALLOC, "The stream still holds an allocated sample and cannot be removed."),
    ERROR_TEXT(MS_E_PURPOSEID, "The purpose identifier cannot be used for this call."),
    ERROR_TEXT(MS_E_NOSTREAM, "No stream has the given attributes."),
    ERROR_TEXT(MS_E_NOSEEKING, "Seeking is not supported by this stream."),
    ERROR_TEXT(MS_E_INCOMPATIBLE, "The stream formats are not compatible."),
    ERROR_TEXT(MS_E_BUSY, "The sample is busy."),
    ERROR_TEXT(MS_E_NOTINIT, "The object has not been initialised."),
    ERROR_TEXT(MS_E_SOURCEALREADYDEFINED, "The source is already defined."),
    ERROR_TEXT(MS_E_INVALIDSTREAMTYPE, "The stream type is not valid for this operation."),
    ERROR_TEXT(MS_E_NOTRUNNING, "The multimedia stream is not running."),
};

#undef ERROR_TEXT

constexpr size_t TableSize = sizeof(Table) / sizeof(Table[0]);

constexpr bool CodesAreUnique() {
    for (size_t i = 0; i < TableSize; ++i) {
        for (size_t j = i + 1; j < TableSize; ++j) {
            if (Table[i].Code == Table[j].Code) {
                return false;
            }
        }
    }
    return true;
}
static_assert(CodesAreUnique(), "a value listed twice would have two names");

// The table sorted by value, built on first use.
const std::array<ErrorText, TableSize>& Sorted() {
    static const std::array<ErrorText, TableSize> sorted = [] {
        std::array<ErrorText, TableSize> copy{};
        std::copy(std::begin(Table), std::end(Table), copy.begin());
        std::sort(copy.begin(), copy.end(), [](const ErrorText& a, const ErrorText& b) { return a.Code < b.Code; });
        return copy;
    }();
    return sorted;
}

const ErrorText* Find(HRESULT hr) {
    const auto& sorted = Sorted();
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), hr,
                                     [](const ErrorText& e, HRESULT code) { return e.Code < code; });
    return it != sorted.end() && it->Code == hr ? &*it : nullptr;
}

}  // namespace

const char* DXGetErrorString9A(HRESULT hr) {
    const ErrorText* e = Find(hr);
    return e != nullptr ? e->Name : "Unknown";
}

const char* DXGetErrorDescription9A(HRESULT hr) {
    const ErrorText* e = Find(hr);
    return e != nullptr ? e->Description : "n/a";
}
