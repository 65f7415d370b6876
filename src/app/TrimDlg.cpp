#include "app/TrimDlg.h"

#include "Resource.h"
#include "app/InstallationPaths.h"
#include "app/WaveformView.h"
#include "platform/ByteStream.h"
#include "platform/Prompt.h"
#include "sounds/SoundPreview.h"
#include "sounds/SoundSummary.h"
#include "sounds/SoundTrim.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The spin boxes show milliseconds, eight samples each.
constexpr int Decimals = 3;

size_t SampleOf(double seconds, size_t count) {
    return std::min(count, static_cast<size_t>(std::llround(std::max(0.0, seconds) * TrimRate)));
}

double SecondsOf(size_t sample) {
    return static_cast<double>(sample) / TrimRate;
}

} // namespace

CTrimDlg::CTrimDlg(std::string fileName, QWidget* parent)
    : CDialog(parent), m_fileName(std::move(fileName)), m_samples(std::make_shared<std::vector<int16_t>>()) {
    setWindowTitle(QStringLiteral("Trim Sound"));
    setObjectName(QStringLiteral("TrimDialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    CreateControls();
}

CTrimDlg::~CTrimDlg() = default;

void CTrimDlg::CreateControls() {
    m_wave = new WaveformView(this);
    SetControlId(m_wave, IDC_TRIM_WAVEFORM);

    auto* startLabel = new QLabel(QStringLiteral("&Start:"), this);
    auto* endLabel = new QLabel(QStringLiteral("&End:"), this);
    m_start = new QDoubleSpinBox(this);
    m_end = new QDoubleSpinBox(this);
    SetControlId(m_start, IDC_TRIM_START);
    SetControlId(m_end, IDC_TRIM_END);
    startLabel->setBuddy(m_start);
    endLabel->setBuddy(m_end);
    m_start->setAccessibleName(QStringLiteral("Start"));
    m_end->setAccessibleName(QStringLiteral("End"));
    for (QDoubleSpinBox* box : {m_start, m_end}) {
        box->setDecimals(Decimals);
        box->setSingleStep(0.01);
        box->setSuffix(QStringLiteral(" s"));
        box->setAccessibleDescription(QStringLiteral("seconds from the sound's start"));
        // A value counts once it is entered: while "0.5" is typed, "0" must not move the selection.
        box->setKeyboardTracking(false);
    }
    m_length = new QLabel(this);
    m_length->setTextFormat(Qt::PlainText);
    SetControlId(m_length, IDC_TRIM_LENGTH);

    m_play = new QPushButton(QStringLiteral("&Play"), this);
    SetControlId(m_play, IDC_TRIM_PLAY);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    SetControlId(m_ok, IDOK);
    // Enter takes the values typed: the ordinary end of a dialog, which writes a new file and
    // changes nothing that exists.
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetControlId(cancel, IDCANCEL);

    auto* times = new QHBoxLayout;
    times->addWidget(startLabel);
    times->addWidget(m_start);
    times->addSpacing(12);
    times->addWidget(endLabel);
    times->addWidget(m_end);
    times->addSpacing(12);
    times->addWidget(m_length, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_play);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_wave, 1);
    layout->addLayout(times);
    layout->addLayout(buttons);

    setTabOrder(m_wave, m_start);
    setTabOrder(m_start, m_end);
    setTabOrder(m_end, m_play);
    setTabOrder(m_play, m_ok);
    setTabOrder(m_ok, cancel);

    connect(m_start, &QDoubleSpinBox::valueChanged, this, [this](double v) { OnStartEdited(v); });
    connect(m_end, &QDoubleSpinBox::valueChanged, this, [this](double v) { OnEndEdited(v); });
    connect(m_play, &QPushButton::clicked, this, [this] { OnPlay(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
    m_wave->SetOnSelectionChanged([this] { ShowSelection(); });
}

bool CTrimDlg::OnInitDialog() {
    const std::unique_ptr<FileSource> file = FileSource::Open(SoundsFolder + "/" + m_fileName);
    std::string reason = "The file cannot be opened.";
    if (file == nullptr || !ReadWaveSamples(*file, *m_samples, reason)) {
        ShowMessage("Could not trim '" + m_fileName + "':\n" + reason);
        EndDialog(IDCANCEL);
        return true;
    }
    m_wave->SetSamples(m_samples);
    // The last sample must be reachable by typing, though it may lie between two milliseconds.
    const double longest = std::ceil(SecondsOf(m_samples->size()) * 1000) / 1000;
    m_start->setRange(0, longest);
    m_end->setRange(0, longest);
    ShowSelection();
    m_wave->setFocus();
    return true;
}

void CTrimDlg::OnStartEdited(double seconds) {
    if (m_showing) {
        return;
    }
    const size_t first = SampleOf(seconds, m_samples->size());
    m_wave->SetSelection(first, std::max(first, m_wave->SelectionEnd()));
    ShowSelection();
}

void CTrimDlg::OnEndEdited(double seconds) {
    if (m_showing) {
        return;
    }
    const size_t end = SampleOf(seconds, m_samples->size());
    m_wave->SetSelection(std::min(end, m_wave->SelectionStart()), end);
    ShowSelection();
}

void CTrimDlg::ShowSelection() {
    const size_t first = m_wave->SelectionStart();
    const size_t end = m_wave->SelectionEnd();
    m_showing = true;
    m_start->setValue(SecondsOf(first));
    m_end->setValue(SecondsOf(end));
    m_showing = false;
    m_length->setText(QString::fromStdString("Length: " + CutLengthText(end - first)));
    // Nothing selected is nothing to hear or to write.
    m_play->setEnabled(end > first);
    m_ok->setEnabled(end > first);
}

void CTrimDlg::OnPlay() {
    const size_t first = m_wave->SelectionStart();
    const size_t end = m_wave->SelectionEnd();
    const bool played = PlaySamples(CutWithFades(*m_samples, first, end), [this, first, end](double seconds) {
        m_wave->SetPlayPosition(std::min(end, first + SampleOf(seconds, m_samples->size())));
        // The sound plays on this thread's watch: the window is kept painted, the owner's keys wait.
        m_wave->repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    m_wave->SetPlayPosition(std::nullopt);
    if (!played) {
        ShowMessage("Play error");
    }
}

void CTrimDlg::OnOK() {
    const size_t first = m_wave->SelectionStart();
    const size_t end = m_wave->SelectionEnd();
    if (end <= first) {
        return;
    }
    const TrimResult result = WriteTrimmedSound(SoundsFolder, m_fileName, CutWithFades(*m_samples, first, end));
    if (!result.written) {
        ShowMessage("Could not trim '" + m_fileName + "':\n" + result.reason);
        return;
    }
    m_newFileName = result.fileName;
    EndDialog(IDOK);
}
