#pragma once
// A sound drawn as its waveform: for each pixel column the span from its lowest to its highest
// sample, a shaded selection and a line where a playing sound has got to. Interactive, it is a
// control of its own: a drag sets the selection, a click its start, and the keyboard moves
// either end (Left and Right the start, with Shift the end; Ctrl for larger steps; Home and End
// take them to the sound's ends). Otherwise it is a picture that takes no focus.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct WaveColumn;

class WaveformView : public QWidget {
public:
    explicit WaveformView(QWidget* parent = nullptr);
    ~WaveformView() override;

    // 8000 Hz samples. The selection becomes the whole sound.
    void SetSamples(std::shared_ptr<const std::vector<int16_t>> samples);
    // Shows a WAV file of the list; an empty view for anything else (a MIDI file, a bad file).
    bool ShowSoundFile(const std::string& path);
    size_t SampleCount() const { return m_samples ? m_samples->size() : 0; }

    void SetInteractive(bool interactive);
    bool IsInteractive() const { return m_interactive; }

    // [first, end) in samples, clamped to the sound, first never past end. Never calls the handler.
    void SetSelection(size_t first, size_t end);
    size_t SelectionStart() const { return m_first; }
    size_t SelectionEnd() const { return m_end; }
    // Called when the user has changed the selection (mouse or keyboard).
    void SetOnSelectionChanged(std::function<void()> handler) { m_onSelectionChanged = std::move(handler); }

    // The sample being played, or nothing when no sound plays.
    void SetPlayPosition(std::optional<size_t> sample);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    size_t SampleAt(double x) const;
    double XOf(size_t sample) const;
    void ChangeSelection(size_t first, size_t end);
    void Describe();

    std::shared_ptr<const std::vector<int16_t>> m_samples;
    // The columns for the width they were made for.
    std::vector<WaveColumn> m_columns;
    int m_columnsWidth = -1;
    size_t m_first = 0;
    size_t m_end = 0;
    std::optional<size_t> m_playing;
    bool m_interactive = true;
    bool m_dragging = false;
    bool m_dragged = false;
    int m_pressX = 0;
    size_t m_anchor = 0;
    std::function<void()> m_onSelectionChanged;
};
