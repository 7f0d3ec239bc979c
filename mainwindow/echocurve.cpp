#include "echocurve.h"

#include <QString>
#include <QStringList>

EchoCurve EchoCurve::Parse(const QByteArray &data)
{
    EchoCurve spectrum;
    const int nul = data.indexOf('\0');
    const QString text = QString::fromLatin1(nul < 0 ? data : data.left(nul));
    spectrum.crlfCount = text.count(QLatin1String("\r\n"));
    const QStringList parts = text.split(QLatin1String("\r\n"));
    spectrum.points.reserve(parts.size());
    for (int i = 0; i < parts.size(); ++i) {
        const int value = parts.at(i).toInt();
        spectrum.maxAmplitude = qMax(spectrum.maxAmplitude, value);
        spectrum.points.append(QPointF(i, value));
    }
    return spectrum;
}
