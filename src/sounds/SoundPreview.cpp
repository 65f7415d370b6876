#include "sounds/SoundPreview.h"

#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/AudioOut.h"
#include "platform/ByteStream.h"
#include "platform/ComboBox.h"
#include "platform/FileOps.h"
#include "platform/MediaCommand.h"
#include "platform/Prompt.h"
#include "sounds/SoundTrim.h"
#include "sounds/StockLibraryReader.h"
#include "stick/ModelProfiles.h"

#include <vector>

namespace {

// The extracted stock sound must not outlive the preview, whichever way it ends.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile() { Remove(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void Remove() {
        if (!m_path.empty()) {
            RemoveFile(m_path);
            m_path.clear();
        }
    }

private:
    std::string m_path;
};

} // namespace

void PreviewSelectedSound(CustomizationState& state, const CTreeCtrl& tree, const CComboBox& list) {
    int current = list.GetCurSel();
    if (current == CB_ERR) {
        return;
    }
    std::optional<SelectedSound> selected = SelectedEntry(state, tree);
    if (!selected || !IsStockSound(*selected->entry)) {
        ShowMessage("Please select an AIBO sound first");
        return;
    }
    bool played = false;
    if (selected->slot->has_value()) {
        // The dialog keeps the list's current item on the assigned file.
        played = PlayCustomSound(list.GetLBText(current));
    } else {
        played = PlayStockSound(state.ActiveProfile->stockLibrary, selected->index);
    }
    if (!played) {
        ShowMessage("Play error");
    }
}

bool PlayCustomSound(const std::string& fileName) {
    mciSendString("close CUSTOMPLAY");
    // Quoted, so names with spaces play.
    if (mciSendString("open \"" + SoundsFolder + "/" + fileName + "\" alias CUSTOMPLAY") != MediaOk) {
        ShowMessage("Error trying to play sound file");
        return false;
    }
    {
        WaitCursor wait;
        // A sound that opened but could not be heard still counts as played.
        mciSendString("play CUSTOMPLAY wait");
    }
    mciSendString("close CUSTOMPLAY");
    return true;
}

bool PlayStockSound(const StockSoundLibrary* library, int index) {
    const std::string tempPath = WorkFolder + "/$TMP$.MID";
    if (library == nullptr) {
        ShowMessage("Default sound is a .WAV file");
        return true;
    }
    LibraryReader reader{library->bytes, library->size};
    std::optional<int32_t> length = FindLibraryRecord(reader, index);
    if (!length) {
        return false;
    }

    std::unique_ptr<FileSink> file = FileSink::Create(tempPath);
    if (!file) {
        ShowMessage("Playing already in progress");
        return false;
    }
    TemporaryFile temporary(tempPath);
    bool written = false;
    {
        std::vector<uint8_t> data(static_cast<size_t>(*length));
        for (uint8_t& byte : data) {
            byte = ReadLibraryByte(reader);
        }
        written = WriteItem(*file, data.data(), data.size());
    }
    written = file->Close() && written;

    mciSendString("close MIDIPLAY");
    // A short write would leave a cut-off file; the player is not asked to open it.
    // Unquoted: start-up refuses work folders with a space.
    if (!written || mciSendString("open " + tempPath + " alias MIDIPLAY") != MediaOk) {
        ShowMessage("Error trying to play sound file");
        return false;
    }
    int played = MediaOk;
    {
        WaitCursor wait;
        played = mciSendString("play MIDIPLAY wait");
    }
    mciSendString("close MIDIPLAY");
    temporary.Remove();
    if (played != MediaOk) {
        ShowMessage("Error trying to play sound file (2)");
        return false;
    }
    return true;
}

bool PlaySamples(const std::vector<int16_t>& samples, const std::function<void(double seconds)>& position) {
    // Through the wave decoder the SOUNDS folder's files are played with, so a cut sounds as the
    // file it becomes will.
    const std::optional<PcmAudio> audio = DecodeWave(EncodeTrimmedWave(samples));
    if (!audio) {
        return false;
    }
    WaitCursor wait;
    return PlayToEnd(*audio, position);
}
