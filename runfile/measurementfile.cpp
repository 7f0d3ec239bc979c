// The measurement file of a run: head and tail templates, one row per sample,
// the row count set when the run ends.
#include "measurementfile.h"

#include "runfile.h"
#include "runfileformat.h"

#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>
#include <QXmlStreamWriter>

namespace {

const QString HeadName = QLatin1String(RunFileFormat::HeadTemplate);
const QString TailName = QLatin1String(RunFileFormat::TailTemplate);
const QString FolderName = QLatin1String(RunFileFormat::Folder);
const QByteArray RowEnd = QByteArrayLiteral("</Row>");
const QByteArray TableEnd = QByteArrayLiteral("</Table>");
const QByteArray WorkbookEnd = QByteArrayLiteral("</Workbook>");

// A file's last bytes show whether it was finished: the table closed and the
// whole tail after it. A power cut while the tail was written leaves the
// table closed but the document open.
bool IsFinished(const QByteArray &end)
{
    return end.contains(TableEnd) && end.trimmed().endsWith(WorkbookEnd);
}

QString Number(double value)
{
    // Six significant digits, exponent form below 1e-4 and from 1e6 on.
    return QString::number(value, 'g', RunFileFormat::Precision);
}

void WriteCell(QXmlStreamWriter &writer, const QString &type, const QString &text)
{
    writer.writeStartElement(QStringLiteral("Cell"));
    writer.writeStartElement(QStringLiteral("Data"));
    writer.writeAttribute(QStringLiteral("ss:Type"), type);
    if (type == QLatin1String("String"))
        writer.writeAttribute(QStringLiteral("x:Ticked"), QStringLiteral("1"));
    writer.writeCharacters(text);
    writer.writeEndElement();
    writer.writeEndElement();
}

} // namespace

static void InitTemplateResources()
{
    // The templates are linked into a static library; without this call the
    // linker would leave them out.
    static const bool isDone = [] {
        Q_INIT_RESOURCE(templates);
        return true;
    }();
    Q_UNUSED(isDone)
}

MeasurementFile::MeasurementFile()
{
    InitTemplateResources();
}

// A run still open here ends like a killed program: the rows stay on disk.
MeasurementFile::~MeasurementFile() = default;

bool MeasurementFile::isRecording() const
{
    return xmlFile && xmlFile->isOpen();
}

QString MeasurementFile::DurationText(qint64 seconds)
{
    return QStringLiteral("%1-%2:%3:%4")
        .arg(seconds / 86400)
        .arg(seconds % 86400 / 3600)
        .arg(seconds % 3600 / 60)
        .arg(seconds % 60);
}

QString MeasurementFile::XmlFolder(bool isCreating)
{
    QDir dir(QDir::currentPath());
    if (isCreating)
        dir.mkdir(FolderName);
    // Without a usable "xml" folder the working directory takes its place.
    if (!dir.cd(FolderName))
        qDebug() << "xml folder unusable, recording in" << dir.absolutePath();
    return dir.absolutePath();
}

void MeasurementFile::InstallTemplate(const QString &folder, const QString &name)
{
    const QString path = folder + QLatin1Char('/') + name;
    if (QFile::exists(path))
        return;
    QFile source(QLatin1String(RunFileFormat::TemplateResources) + name);
    QSaveFile target(path);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly)) {
        qDebug() << "cannot install template" << path << target.errorString();
        return;
    }
    target.write(source.readAll());
    if (!target.commit())
        qDebug() << "cannot install template" << path << target.errorString();
}

bool MeasurementFile::AppendTemplateFile(QFile *dest, const QString &templatePath)
{
    QFile source(templatePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // The file is UTF-8 from end to end, so the templates are read as UTF-8
    // too (a byte-order mark still selects another Unicode encoding).
    QTextStream in(&source);
    in.setCodec("UTF-8");
    QString line;
    bool isWritten = true;
    while (in.readLineInto(&line)) {
        const QByteArray bytes = line.toUtf8() + '\n';
        isWritten = isWritten && dest->write(bytes) == bytes.size();
    }
    return dest->flush() && isWritten;
}

bool MeasurementFile::OpenFreeFile(const QString &folder, const QString &baseName)
{
    // A run never appends to another run's file: two runs started within the
    // same second (the restart after a full file) get distinct names.
    for (int n = 1; n < 1000; ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral("_%1").arg(n);
        const QString path = folder + QLatin1Char('/') + baseName + suffix + QStringLiteral(".xml");
        if (QFile::exists(path))
            continue;
        xmlFile = std::make_unique<QFile>(path);
        if (xmlFile->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Text)) {
            historyRecord.filePath = path;
            return true;
        }
        if (!QFile::exists(path))
            break;
    }
    lastError = xmlFile ? xmlFile->errorString() : QStringLiteral("no free file name");
    qDebug() << lastError;
    xmlFile.reset();
    return false;
}

bool MeasurementFile::CreateXmlFile(const QDateTime &startTime)
{
    Release();
    xmlFileRowCount = 0;
    speedSum = 0;
    levelSum = 0;
    quantitySum = 0;
    lastError.clear();
    historyRecord = HistoryRecord();
    historyRecord.startTime = startTime.toString(QLatin1String(RunFileFormat::StartTimeFormat));

    // A working directory that no longer exists has no path; the files must
    // not land anywhere else.
    if (QDir::currentPath().isEmpty()) {
        lastError = QStringLiteral("working directory unavailable");
        qDebug() << lastError;
        return false;
    }
    const QString folder = XmlFolder(true);
    // A fresh installation has no templates yet: they ship inside the program.
    InstallTemplate(folder, HeadName);
    InstallTemplate(folder, TailName);

    const QString baseName = startTime.toString(QLatin1String(RunFileFormat::FileNameTimeFormat));
    historyRecord.filePath = folder + QLatin1Char('/') + baseName + QStringLiteral(".xml");
    if (!OpenFreeFile(folder, baseName))
        return false;

    if (!AppendTemplateFile(xmlFile.get(), folder + QLatin1Char('/') + HeadName))
        qDebug() << "Copy excel head failed";

    xmlWriter = std::make_unique<QXmlStreamWriter>(xmlFile.get());
    xmlWriter->setAutoFormatting(true);
    // The row count stays a placeholder until the run ends.
    xmlWriter->writeStartElement(QStringLiteral("Table"));
    xmlWriter->writeAttribute(QStringLiteral("ss:ExpandedColumnCount"),
                              QString::number(RunFileFormat::ColumnCount));
    xmlWriter->writeAttribute(QStringLiteral("ss:ExpandedRowCount"), QStringLiteral("10"));
    xmlWriter->writeAttribute(QStringLiteral("x:FullColumns"), QStringLiteral("1"));
    xmlWriter->writeAttribute(QStringLiteral("x:FullRows"), QStringLiteral("1"));
    xmlWriter->writeAttribute(QStringLiteral("ss:DefaultColumnWidth"), QStringLiteral("54"));
    xmlWriter->writeAttribute(QStringLiteral("ss:DefaultRowHeight"), QStringLiteral("13.5"));
    xmlWriter->writeStartElement(QStringLiteral("Column"));
    xmlWriter->writeAttribute(QStringLiteral("ss:AutoFitWidth"), QStringLiteral("0"));
    xmlWriter->writeAttribute(QStringLiteral("ss:Width"), QStringLiteral("150"));
    xmlWriter->writeEndElement();
    xmlFile->flush();
    return true;
}

bool MeasurementFile::WriteXmlFileRow(const QString &time, double speed, double level,
                                      double quantity, double airGap, double discharge,
                                      int speedStrength, int levelStrength)
{
    if (!xmlWriter || !isRecording())
        return false;
    const qint64 wholeRows = xmlFile->size();
    // The means are those of the rows as a reader of the file sees them.
    const QString cells[3] = {Number(speed), Number(level), Number(quantity)};
    xmlWriter->writeStartElement(QStringLiteral("Row"));
    WriteCell(*xmlWriter, QStringLiteral("String"), time);
    for (const QString &cell : cells)
        WriteCell(*xmlWriter, QStringLiteral("Number"), cell);
    // The first four cells are what every reader of older files knows; the
    // rest follow them. The discharge is a counter of up to 15 digits whose
    // growth from row to row is the point, so it keeps every digit.
    WriteCell(*xmlWriter, QStringLiteral("Number"), Number(airGap));
    WriteCell(*xmlWriter, QStringLiteral("Number"),
              QString::number(discharge, 'g', QLocale::FloatingPointShortest));
    WriteCell(*xmlWriter, QStringLiteral("Number"), QString::number(speedStrength));
    WriteCell(*xmlWriter, QStringLiteral("Number"), QString::number(levelStrength));
    xmlWriter->writeEndElement();
    // Into the operating system now, not when the buffer fills: a killed
    // program must not take the last rows with it.
    if (!xmlWriter->hasError() && xmlFile->flush()) {
        ++xmlFileRowCount;
        speedSum += cells[0].toDouble();
        levelSum += cells[1].toDouble();
        quantitySum += cells[2].toDouble();
        return true;
    }
    // A full disk or a vanished folder: the row is not counted, and the file
    // is cut back to its last whole row so that it can still be finished.
    // A write cut short gives no reason; trying the rest once more does.
    xmlFile->flush();
    lastError = xmlFile->errorString();
    qDebug() << "measurement row not written:" << historyRecord.filePath << lastError;
    const QString path = xmlFile->fileName();
    xmlFile->close();
    QFile::resize(path, wholeRows);
    xmlWriter.reset();
    xmlFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    return false;
}

bool MeasurementFile::AppendEnd(QFile *file, QString *error)
{
    const qint64 wholeRows = file->size();
    const QString folder = XmlFolder(false);
    InstallTemplate(folder, TailName);
    const QString tailPath = folder + QLatin1Char('/') + TailName;
    qDebug() << tailPath;
    // What the writer would put out on closing the table, then the tail.
    const bool isClosed = file->write("\n" + TableEnd) == TableEnd.size() + 1 && file->flush();
    if (isClosed && AppendTemplateFile(file, tailPath))
        return true;
    if (isClosed)
        qDebug() << "Copy excel tail failed";
    *error = file->error() != QFileDevice::NoError ? file->errorString()
                                                   : QStringLiteral("Copy excel tail failed");
    // A part of an end would pass for a finished file; without it the file
    // ends on its last whole row and can be finished later.
    const QString path = file->fileName();
    file->close();
    QFile::resize(path, wholeRows);
    return false;
}

void MeasurementFile::SetMeans(HistoryRecord *record, int rows, double speedSum, double levelSum,
                               double quantitySum)
{
    record->min = QStringLiteral("%1").arg(speedSum / rows, 0, 'f', 3);
    record->max = QStringLiteral("%1").arg(levelSum / rows, 0, 'f', 3);
    record->average = QStringLiteral("%1").arg(quantitySum / rows, 0, 'f', 3);
}

std::optional<HistoryRecord> MeasurementFile::SaveXmlFile(const QDateTime &startTime,
                                                          const QDateTime &endTime)
{
    if (!isRecording())
        return std::nullopt;

    if (xmlFileRowCount < 2) {
        xmlFile->close();
        xmlFile->remove();
        Release();
        return std::nullopt;
    }

    // A file that cannot be finished now keeps its rows; the next start
    // finishes it.
    bool isFinished = AppendEnd(xmlFile.get(), &lastError);
    xmlFile->close();
    if (isFinished && !SetXmlFileRowCount(historyRecord.filePath, xmlFileRowCount)) {
        lastError = QStringLiteral("row count not set");
        isFinished = false;
    }
    if (!isFinished)
        qDebug() << "measurement file not finished:" << historyRecord.filePath << lastError;

    historyRecord.durationTime = DurationText(startTime.secsTo(endTime));
    historyRecord.count = xmlFileRowCount;
    SetMeans(&historyRecord, xmlFileRowCount, speedSum, levelSum, quantitySum);
    Release();
    return historyRecord;
}

bool MeasurementFile::SetXmlFileRowCount(const QString &path, int rowCount)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "open xml file error";
        return false;
    }
    QDomDocument document;
    QString message;
    int line = 0;
    if (!document.setContent(&file, false, &message, &line)) {
        qDebug() << "setcontent error" << message << line;
        return false;
    }
    file.close();

    QDomElement table = document.elementsByTagName(QStringLiteral("Table")).at(0).toElement();
    qDebug() << table.tagName();
    table.setAttribute(QStringLiteral("ss:ExpandedRowCount"), rowCount);

    // Written beside the recorded file and renamed over it: a crash or a
    // power cut at this moment leaves either the old or the new file whole.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug() << "open error!" << target.errorString();
        return false;
    }
    QTextStream out(&target);
    out.setCodec("UTF-8");
    document.save(out, 4, QDomNode::EncodingFromTextStream);
    out.flush();
    if (!target.commit()) {
        qDebug() << "row count not saved:" << target.errorString();
        return false;
    }
    return true;
}

QStringList MeasurementFile::RunFiles()
{
    // Named after the start of their run; other files are not ours to touch.
    static const QRegularExpression runName{QLatin1String(RunFileFormat::FileNamePattern)};
    const QDir folder(XmlFolder(false));
    QStringList paths;
    for (const QString &name :
         folder.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
        if (runName.match(name).hasMatch())
            paths << folder.absoluteFilePath(name);
    }
    return paths;
}

std::optional<HistoryRecord> MeasurementFile::Recover(const QString &path, bool isListed,
                                                      bool *isChanged, QString *error)
{
    *isChanged = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    // The end of a finished file lies in its tail: its last bytes tell.
    constexpr qint64 TailBytes = 16 * 1024;
    if (isListed && file.size() > TailBytes) {
        file.seek(file.size() - TailBytes);
        if (IsFinished(file.read(TailBytes)))
            return std::nullopt;
        file.seek(0);
    }
    const QByteArray bytes = file.readAll();
    file.close();
    if (!bytes.contains("<Table"))
        return std::nullopt;

    int rowCount = 0;
    const bool isFinished = IsFinished(bytes);
    if (isFinished && isListed)
        return std::nullopt;
    if (!isFinished) {
        // Everything after the last whole row is a row cut short.
        int cut = bytes.lastIndexOf(RowEnd);
        if (cut >= 0) {
            cut += RowEnd.size();
        } else {
            const int column = bytes.indexOf("<Column");
            cut = column < 0 ? -1 : bytes.indexOf("/>", column);
            if (cut < 0)
                return std::nullopt;
            cut += 2;
        }
        rowCount = bytes.left(cut).count("<Row>");
        if (!file.resize(cut) || !file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            *error = file.errorString();
            return std::nullopt;
        }
        const bool isEnded = AppendEnd(&file, error);
        file.close();
        if (!isEnded || !SetXmlFileRowCount(path, rowCount)) {
            if (error->isEmpty())
                *error = QStringLiteral("row count not set");
            return std::nullopt;
        }
        *isChanged = true;
    }

    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const RunFile content = RunFile::Read(&file);
    if (rowCount == 0)
        rowCount = content.rows.size() + content.unreadableRows;
    if (content.rows.size() < 2 || rowCount < 2)
        return std::nullopt;

    // The run started at the moment its file is named after; it ended with
    // its last sample.
    const QString stamp =
        QFileInfo(path).completeBaseName().left(int(sizeof(RunFileFormat::FileNameTimeFormat)) - 1);
    QDateTime start =
        QDateTime::fromString(stamp, QLatin1String(RunFileFormat::FileNameTimeFormat));
    if (!start.isValid())
        start = content.rows.first().time;
    double speedSum = 0;
    double levelSum = 0;
    double quantitySum = 0;
    for (const RunFile::Row &row : content.rows) {
        speedSum += row.speed;
        levelSum += row.level;
        quantitySum += row.quantity;
    }
    HistoryRecord record;
    record.startTime = start.toString(QLatin1String(RunFileFormat::StartTimeFormat));
    record.durationTime = DurationText(qMax<qint64>(0, start.secsTo(content.rows.last().time)));
    record.count = rowCount;
    SetMeans(&record, content.rows.size(), speedSum, levelSum, quantitySum);
    record.filePath = path;
    return record;
}

void MeasurementFile::Release()
{
    xmlWriter.reset();
    xmlFile.reset();
}
