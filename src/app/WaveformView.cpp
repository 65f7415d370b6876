#include "app/WaveformView.h"

#include "platform/ByteStream.h"
#include "sounds/SoundTrim.h"
#include "sounds/WaveformColumns.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QLine>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>
#include <cmath>

namespace {

// The keyboard's steps: 10 ms is finer than an ear tells apart at a cut, 100 ms for getting there.
constexpr size_t FineStep = TrimRate / 100;
constexpr size_t CoarseStep = TrimRate / 10;

// Read out as a chart, which it is, rather than as a filler that screen readers pass over.
QAccessibleInterface* WaveformAccessible(const QString& /*className*/, QObject* object) {
    auto* view = dynamic_cast<WaveformView*>(object);
    return view != nullptr ? new QAccessibleWidget(view, QAccessible::Chart) : nullptr;
}

QString Seconds(size_t samples) {
    return QString::number(static_cast<double>(samples) / TrimRate, 'f', 3);
}

} // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    static const bool accessible = (QAccessible::installFactory(WaveformAccessible), true);
    (void)accessible;
    setAccessibleName(QStringLiteral("Waveform"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetInteractive(true);
}

WaveformView::~WaveformView() = default;

void WaveformView::SetSamples(std::shared_ptr<const std::vector<int16_t>> samples) {
    m_samples = std::move(samples);
    m_columnsWidth = -1;
    m_first = 0;
    m_end = SampleCount();
    m_playing.reset();
    Describe();
    update();
}

bool WaveformView::ShowSoundFile(const std::string& path) {
    auto samples = std::make_shared<std::vector<int16_t>>();
    std::string reason;
    const std::unique_ptr<FileSource> file = FileSource::Open(path);
    const bool read = file != nullptr && ReadWaveSamples(*file, *samples, reason);
    if (!read) {
        samples->clear();
    }
    SetSamples(std::move(samples));
    return read;
}

void WaveformView::SetInteractive(bool interactive) {
    m_interactive = interactive;
    setFocusPolicy(interactive ? Qt::StrongFocus : Qt::NoFocus);
    setCursor(interactive ? Qt::IBeamCursor : Qt::ArrowCursor);
    Describe();
    update();
}

void WaveformView::SetSelection(size_t first, size_t end) {
    end = std::min(end, SampleCount());
    m_first = std::min(first, end);
    m_end = end;
    Describe();
    update();
}

void WaveformView::SetPlayPosition(std::optional<size_t> sample) {
    m_playing = sample;
    update();
}

QSize WaveformView::sizeHint() const {
    return {480, 120};
}

QSize WaveformView::minimumSizeHint() const {
    return {120, 32};
}

size_t WaveformView::SampleAt(double x) const {
    const double fraction = std::clamp(x / std::max(1, width()), 0.0, 1.0);
    return static_cast<size_t>(std::llround(fraction * static_cast<double>(SampleCount())));
}

double WaveformView::XOf(size_t sample) const {
    return SampleCount() == 0 ? 0.0 : static_cast<double>(sample) * width() / static_cast<double>(SampleCount());
}

void WaveformView::ChangeSelection(size_t first, size_t end) {
    if (first == m_first && end == m_end) {
        return;
    }
    SetSelection(first, end);
    if (m_onSelectionChanged) {
        m_onSelectionChanged();
    }
}

void WaveformView::Describe() {
    const size_t total = SampleCount();
    QString text = QStringLiteral("%1 s long").arg(Seconds(total));
    if (m_interactive) {
        text = QStringLiteral("Selected from %1 s to %2 s of %3 s. Left and Right arrows move the start, with "
                              "Shift the end; Ctrl for larger steps.")
                   .arg(Seconds(m_first), Seconds(m_end), Seconds(total));
    }
    setAccessibleDescription(text);
}

void WaveformView::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, palette().color(QPalette::Base));
    if (m_interactive && m_end > m_first) {
        QColor shade = palette().color(QPalette::Highlight);
        shade.setAlpha(90);
        const double left = XOf(m_first);
        painter.fillRect(QRectF(left, 0, std::max(1.0, XOf(m_end) - left), height()), shade);
    }
    const int middle = height() / 2;
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, middle, width() - 1, middle);

    if (SampleCount() > 0) {
        if (m_columnsWidth != width()) {
            m_columns = WaveformColumns(m_samples->data(), m_samples->size(), width());
            m_columnsWidth = width();
        }
        const double scale = (height() / 2.0 - 1) / 32768.0;
        std::vector<QLine> lines(m_columns.size());
        for (size_t x = 0; x < m_columns.size(); ++x) {
            const int top = middle - static_cast<int>(std::lround(m_columns[x].high * scale));
            const int bottom = middle - static_cast<int>(std::lround(m_columns[x].low * scale));
            lines[x] = QLine(static_cast<int>(x), top, static_cast<int>(x), bottom);
        }
        painter.setPen(palette().color(QPalette::Text));
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }

    if (m_playing) {
        const int x = std::min(width() - 1, static_cast<int>(XOf(*m_playing)));
        painter.fillRect(QRect(x - 1, 0, 2, height()), palette().color(QPalette::Highlight).darker(150));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = area.adjusted(1, 1, -1, -1);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (!m_interactive || event->button() != Qt::LeftButton || SampleCount() == 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_dragged = false;
    m_pressX = event->position().toPoint().x();
    m_anchor = SampleAt(event->position().x());
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        return;
    }
    const int x = event->position().toPoint().x();
    m_dragged = m_dragged || std::abs(x - m_pressX) >= QApplication::startDragDistance();
    if (m_dragged) {
        const size_t at = SampleAt(event->position().x());
        ChangeSelection(std::min(m_anchor, at), std::max(m_anchor, at));
    }
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging || event->button() != Qt::LeftButton) {
        return;
    }
    mouseMoveEvent(event);
    m_dragging = false;
    if (!m_dragged) {
        // A click puts the start there; past the end, the selection runs on to the sound's end.
        ChangeSelection(m_anchor, m_anchor < m_end ? m_end : SampleCount());
    }
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
    if (!m_interactive) {
        QWidget::keyPressEvent(event);
        return;
    }
    const size_t step = (event->modifiers() & Qt::ControlModifier) != 0 ? CoarseStep : FineStep;
    const bool endKey = (event->modifiers() & Qt::ShiftModifier) != 0;
    size_t first = m_first;
    size_t end = m_end;
    // One end carries the other with it rather than pass it.
    switch (event->key()) {
    case Qt::Key_Left:
        if (endKey) {
            end -= std::min(step, end);
            first = std::min(first, end);
        } else {
            first -= std::min(step, first);
        }
        break;
    case Qt::Key_Right:
        if (endKey) {
            end = std::min(SampleCount(), end + step);
        } else {
            first = std::min(SampleCount(), first + step);
            end = std::max(first, end);
        }
        break;
    case Qt::Key_Home:
        first = 0;
        break;
    case Qt::Key_End:
        end = SampleCount();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    ChangeSelection(first, end);
}
