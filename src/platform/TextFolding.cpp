#include "platform/TextFolding.h"

#include <QString>

std::string FoldToBaseLetters(const std::string& utf8) {
    const QString decomposed =
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing) {
            folded += c;
        }
    }
    return folded.toStdString();
}
