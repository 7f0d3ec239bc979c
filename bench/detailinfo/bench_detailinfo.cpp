// Opening the detail dialog on a full measurement file (3000 rows) until its
// three charts have been painted: the bulk load beside the point-by-point
// appends it replaced. Run with QT_QPA_PLATFORM=offscreen on a headless box.
#include "chartview.h"
#include "detailinfo.h"
#include "measurementfile.h"

#include "median.h"
#include "paintcounter.h"
#include "runfileformat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QXYSeries>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const int fileRows = 3000;
const int repeats = 5;
const char *const viewNames[] = {"detailInfoChart70", "detailInfoChart80", "detailInfoChart90"};

QString WriteFullRun()
{
    MeasurementFile file;
    const QDateTime start = QDateTime::currentDateTime().addSecs(-2 * fileRows);
    file.CreateXmlFile(start);
    for (int row = 0; row < fileRows; ++row) {
        const double speed = 1 + 0.5 * std::sin(row / 50.0);
        const double level = 0.8 + 0.1 * std::cos(row / 70.0);
        const double quantity = speed * level * 2.4;
        file.WriteXmlFileRow(
            start.addSecs(2 * row).toString(QLatin1String(RunFileFormat::RowTimeFormat)), speed,
            level, quantity, 3 - level, 1000 + row * quantity * 2, 40, 55);
    }
    const auto record = file.SaveXmlFile(start, start.addSecs(2 * fileRows));
    return record ? record->filePath : QString();
}

// The way the dialog used to load: one append per point and series.
void AppendOneByOne(DetailInfo &dialog, const QString &path)
{
    QList<QtCharts::QXYSeries *> series;
    for (const char *name : viewNames) {
        for (QtCharts::QAbstractSeries *s :
             dialog.findChild<ChartView *>(QLatin1String(name))->chart()->series())
            series.append(static_cast<QtCharts::QXYSeries *>(s));
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    QXmlStreamReader reader(&file);
    QStringList values;
    bool isInRow = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("Row")) {
            isInRow = true;
        } else if (reader.isCharacters() && isInRow && !reader.isWhitespace()) {
            values.append(reader.text().toString());
        } else if (reader.isEndElement() && reader.name() == QLatin1String("Row")) {
            const double x =
                QDateTime::fromString(values[0], QLatin1String(RunFileFormat::RowTimeFormat))
                    .toMSecsSinceEpoch();
            for (int i = 0; i < 3; ++i) {
                series[2 * i]->append(x, values[i + 1].toDouble());
                series[2 * i + 1]->append(x, values[i + 1].toDouble());
            }
            values.clear();
            isInRow = false;
        }
    }
}

// Milliseconds from constructing the dialog until each of its three charts
// has been painted once (the second and third by switching to their tab).
struct Phases
{
    double loaded = 0; // dialog shown and file plotted, before any paint
    double painted = 0;
};

Phases OpenUntilPainted(const QString &path, bool isBulk)
{
    Phases phases;
    QElapsedTimer timer;
    timer.start();
    DetailInfo dialog;
    PaintCounter counters[3];
    for (int i = 0; i < 3; ++i)
        dialog.findChild<ChartView *>(QLatin1String(viewNames[i]))
            ->viewport()
            ->installEventFilter(&counters[i]);
    dialog.show();
    if (isBulk) {
        dialog.setDetailInfoFileName(path);
    } else {
        dialog.setDetailInfoFileName(path + ".absent");
        AppendOneByOne(dialog, path);
    }
    phases.loaded = timer.nsecsElapsed() / 1e6;
    auto *tabs = dialog.findChild<QTabWidget *>("tabWidget");
    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        while (counters[i].paints == 0)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    phases.painted = timer.nsecsElapsed() / 1e6;
    return phases;
}

// Milliseconds from a click on "全部" until the velocity chart, thinned to the
// whole run, has been painted.
double WholeRun(const QString &path)
{
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(path);
    QApplication::processEvents();
    PaintCounter counter;
    dialog.findChild<ChartView *>(QLatin1String(viewNames[0]))
        ->viewport()
        ->installEventFilter(&counter);
    QElapsedTimer timer;
    timer.start();
    dialog.findChild<QPushButton *>("pushButtonWholeRun")->click();
    while (counter.paints == 0)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString path = WriteFullRun();
    if (path.isEmpty()) {
        std::fprintf(stderr, "could not write the measurement file\n");
        return 1;
    }
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    OpenUntilPainted(path, true); // warm-up: fonts, style, chart plug-ins
    QVector<double> bulk;
    QVector<double> bulkLoaded;
    QVector<double> oneByOne;
    QVector<double> oneByOneLoaded;
    QVector<double> wholeRun;
    for (int i = 0; i < repeats; ++i) {
        wholeRun.append(WholeRun(path));
        const Phases fast = OpenUntilPainted(path, true);
        bulk.append(fast.painted);
        bulkLoaded.append(fast.loaded);
        const Phases slow = OpenUntilPainted(path, false);
        oneByOne.append(slow.painted);
        oneByOneLoaded.append(slow.loaded);
    }
    std::printf("detail dialog, %d-row file, open until three charts painted (median of %d)\n",
                fileRows, repeats);
    std::printf(
        "  bulk replace per series: %8.1f ms  (goal < 100 ms; %.1f ms before the first paint)\n",
        Median(bulk), Median(bulkLoaded));
    std::printf("  one-by-one appends:      %8.1f ms  (baseline; %.1f ms before the first paint)\n",
                Median(oneByOne), Median(oneByOneLoaded));
    std::printf(
        "  whole run (\"全部\"):       %8.1f ms  (click until the thinned chart is painted)\n",
        Median(wholeRun));
    return 0;
}
