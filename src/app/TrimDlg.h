#pragma once
// "Trim Sound": the waveform of one WAV file of the SOUNDS folder, the part to keep (dragged on
// the waveform or typed as Start and End in seconds), its length and size, Play to hear it, and
// OK to write it as a new file beside the old one. Cancel writes nothing.
#include "platform/Dialog.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class WaveformView;

class CTrimDlg : public CDialog {
public:
    // `fileName`: a file of SoundsFolder, as the replacement list names it.
    explicit CTrimDlg(std::string fileName, QWidget* parent = nullptr);
    ~CTrimDlg() override;

    // The file OK wrote, in SoundsFolder.
    const std::string& NewFileName() const { return m_newFileName; }

    WaveformView& Waveform() { return *m_wave; }
    void OnPlay();

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void CreateControls();
    // The spin boxes moved by the user: the selection follows, and one end carries the other
    // rather than pass it.
    void OnStartEdited(double seconds);
    void OnEndEdited(double seconds);
    // Everything that shows the selection, from the waveform's.
    void ShowSelection();

    std::string m_fileName;
    std::string m_newFileName;
    std::shared_ptr<std::vector<int16_t>> m_samples;
    WaveformView* m_wave = nullptr;
    QDoubleSpinBox* m_start = nullptr;
    QDoubleSpinBox* m_end = nullptr;
    QLabel* m_length = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_showing = false;
};
