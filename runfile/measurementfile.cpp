// The measurement file of a run: head and tail templates, one row per sample,
// the row count set when the run ends.
#include "measurementfile.h"

#include "checkedfile.h"
#include "runfile.h"
#include "runfileformat.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTextStream>
#include <QXmlStreamWriter>

namespace {

const QString HeadName = QLatin1String(RunFileFormat::HeadTemplate);
const QString TailName = QLatin1String(RunFileFormat::TailTemplate);
const QString FolderName = QLatin1String(RunFileFormat::Folder);
const QByteArray RowEnd = QByteArrayLiteral("</Row>");
const QByteArray TableEnd = QByteArrayLiteral("</Table>");
const QByteArray WorkbookEnd = QByteArrayLiteral("</Workbook>");
const QByteArray RowCountName = QByteArrayLiteral("ss:ExpandedRowCount=\"");
// The head and the table's start lie within a file's first bytes, its end
// within its last ones.
constexpr qint64 EdgeBytes = 16 * 1024;

// The table's start tag in a file's first bytes: from "<Table" to after its
// '>', and the row count's value inside it. begin is -1 when the tag is not
// whole.
struct TableTag
{
    int begin = -1;
    int end = -1;
    int valueBegin = -1;
    int valueEnd = -1;

    QByteArray RowCount(const QByteArray &bytes) const
    {
        return begin < 0 ? QByteArray() : bytes.mid(valueBegin, valueEnd - valueBegin);
    }
};

TableTag FindTableTag(const QByteArray &bytes)
{
    TableTag tag;
    const int begin = bytes.indexOf("<Table");
    const int end = begin < 0 ? -1 : bytes.indexOf('>', begin);
    const int name = end < 0 ? -1 : bytes.indexOf(RowCountName, begin);
    if (name < 0 || name > end)
        return tag;
    const int valueBegin = name + RowCountName.size();
    const int valueEnd = bytes.indexOf('"', valueBegin);
    if (valueEnd < 0 || valueEnd > end)
        return tag;
    return {begin, end + 1, valueBegin, valueEnd};
}

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
    QString error;
    if (!source.open(QIODevice::ReadOnly) || !CheckedFile::Replace(path, source.readAll(), &error))
        qDebug() << "cannot install template" << path << error;
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

    if (!AppendTemplateFile(xmlFile.get(), folder + QLatin1Char('/') + HeadName) &&
        xmlFile->error() == QFileDevice::NoError)
        qDebug() << "Copy excel head failed";

    xmlWriter = std::make_unique<QXmlStreamWriter>(xmlFile.get());
    xmlWriter->setAutoFormatting(true);
    // The row count stays a placeholder until the run ends; the room after
    // the attributes lets the end set it without rewriting the file.
    xmlWriter->writeStartElement(QStringLiteral("Table"));
    xmlWriter->writeAttribute(QStringLiteral("ss:ExpandedColumnCount"),
                              QString::number(RunFileFormat::ColumnCount));
    xmlWriter->writeAttribute(QStringLiteral("ss:ExpandedRowCount"),
                              QLatin1String(RunFileFormat::PlaceholderRowCount));
    xmlWriter->writeAttribute(QStringLiteral("x:FullColumns"), QStringLiteral("1"));
    xmlWriter->writeAttribute(QStringLiteral("x:FullRows"), QStringLiteral("1"));
    xmlWriter->writeAttribute(QStringLiteral("ss:DefaultColumnWidth"), QStringLiteral("54"));
    xmlWriter->writeAttribute(QStringLiteral("ss:DefaultRowHeight"), QStringLiteral("13.5"));
    // The writer hands each piece to the file at once, so these spaces land
    // inside the open start tag.
    xmlFile->write(QByteArray(RunFileFormat::RowCountRoom, ' '));
    xmlWriter->writeStartElement(QStringLiteral("Column"));
    xmlWriter->writeAttribute(QStringLiteral("ss:AutoFitWidth"), QStringLiteral("0"));
    xmlWriter->writeAttribute(QStringLiteral("ss:Width"), QStringLiteral("150"));
    xmlWriter->writeEndElement();
    if (xmlWriter->hasError() || !xmlFile->flush() || xmlFile->error() != QFileDevice::NoError) {
        // A head without its table is no run file: nothing is left behind.
        lastError = xmlFile->errorString();
        qDebug() << "measurement file not started:" << historyRecord.filePath << lastError;
        xmlFile->close();
        xmlFile->remove();
        Release();
        return false;
    }
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
    // finishes it. lastError stays empty when it was finished.
    lastError.clear();
    bool isFinished = AppendEnd(xmlFile.get(), &lastError);
    xmlFile->close();
    if (isFinished && !SetXmlFileRowCount(historyRecord.filePath, xmlFileRowCount, &lastError))
        isFinished = false;
    if (!isFinished)
        qDebug() << "measurement file not finished:" << historyRecord.filePath << lastError;

    historyRecord.durationTime = DurationText(startTime.secsTo(endTime));
    historyRecord.count = xmlFileRowCount;
    SetMeans(&historyRecord, xmlFileRowCount, speedSum, levelSum, quantitySum);
    Release();
    return historyRecord;
}

bool MeasurementFile::SetXmlFileRowCount(const QString &path, int rowCount, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray head = file.read(EdgeBytes);
    const TableTag tag = FindTableTag(head);
    if (tag.begin < 0) {
        *error = QStringLiteral("no table in the file's head");
        return false;
    }
    // The tag with the new count, without the room after its attributes.
    QByteArray body = head.mid(tag.begin, tag.valueBegin - tag.begin) +
                      QByteArray::number(rowCount) +
                      head.mid(tag.valueEnd, tag.end - 1 - tag.valueEnd);
    while (body.endsWith(' '))
        body.chop(1);
    const int room = tag.end - tag.begin - 1 - body.size();
    if (room >= 0) {
        // The same number of bytes in the same place: nothing else of the
        // file moves, and a full disk has nothing to refuse.
        const QByteArray edited = body + QByteArray(room, ' ') + '>';
        return file.seek(tag.begin) && CheckedFile::Write(&file, edited, error);
    }
    // A file of an older recorder has no room: a complete copy replaces it.
    file.seek(0);
    const QByteArray bytes = file.readAll();
    file.close();
    return CheckedFile::Replace(path, bytes.left(tag.begin) + body + '>' + bytes.mid(tag.end),
                                error);
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

MeasurementFile::Recovery MeasurementFile::Recover(const QString &path, int listedCount)
{
    Recovery result;
    const bool isListed = listedCount >= 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.outcome = Recovery::Failed;
        result.error = file.errorString();
        return result;
    }
    // A listed file whose end is there and whose count is the history's is
    // whole: its first and last bytes tell.
    if (isListed && file.size() > 2 * EdgeBytes) {
        const QByteArray head = file.read(EdgeBytes);
        file.seek(file.size() - EdgeBytes);
        if (IsFinished(file.read(EdgeBytes)) &&
            FindTableTag(head).RowCount(head) == QByteArray::number(listedCount)) {
            result.rows = listedCount;
            return result;
        }
        file.seek(0);
    }
    const QByteArray bytes = file.readAll();
    file.close();

    const TableTag tag = FindTableTag(bytes);
    // The rows begin after the table's start and its column, when it has one.
    int columnEnd = tag.end;
    const int column = tag.begin < 0 ? -1 : bytes.indexOf("<Column", tag.end);
    const int firstRow = tag.begin < 0 ? -1 : bytes.indexOf("<Row", tag.end);
    if (column >= 0 && (firstRow < 0 || column < firstRow)) {
        const int end = bytes.indexOf("/>", column);
        columnEnd = end < 0 ? -1 : end + 2;
    }
    if (tag.begin < 0 || columnEnd < 0) {
        // Cut before the table's first row could be written: a power cut
        // often leaves such a file, or none of its bytes at all.
        result.outcome = Recovery::CutHead;
        if (isListed)
            return result;
        // Kept for whoever wants to look at it, out of the way of the runs.
        const QFileInfo info(path);
        const QString damaged =
            info.dir().filePath(QLatin1String(RunFileFormat::DamagedFolder)) + QLatin1Char('/');
        QDir().mkpath(damaged);
        QString target = damaged + info.fileName();
        for (int n = 2; QFile::exists(target); ++n)
            target = damaged + QStringLiteral("%1_%2").arg(n).arg(info.fileName());
        if (QFile::rename(path, target))
            result.movedTo = target;
        else
            result.error = QStringLiteral("not moved to %1").arg(target);
        return result;
    }

    const bool isFinished = IsFinished(bytes);
    // Everything after the last whole row is a row cut short.
    int cut = bytes.size();
    if (!isFinished) {
        const int rowEnd = bytes.lastIndexOf(RowEnd);
        cut = rowEnd > columnEnd ? rowEnd + RowEnd.size() : columnEnd;
    }
    // A spreadsheet program that saved the file may give a row attributes.
    const QByteArray rows = bytes.left(cut);
    result.rows = rows.count("<Row>") + rows.count("<Row ");
    const bool isPlaceholder =
        tag.RowCount(bytes) == QByteArray(RunFileFormat::PlaceholderRowCount);
    if (isListed && !isFinished && !(isPlaceholder && result.rows == listedCount)) {
        // Finished once and cut since: the history keeps what it said, and
        // the file is left for whoever can mend it.
        result.outcome = Recovery::CutShort;
        return result;
    }
    if (!isListed && result.rows < 2) {
        // As a run that ends with fewer than two samples.
        if (!file.remove()) {
            result.outcome = Recovery::Failed;
            result.error = file.errorString();
            return result;
        }
        result.outcome = Recovery::Removed;
        return result;
    }
    if (!isFinished) {
        // A listed file ends on its last whole row: only its end is missing.
        if (!file.resize(cut) || !file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            result.outcome = Recovery::Failed;
            result.error = file.errorString();
            return result;
        }
        const bool isEnded = AppendEnd(&file, &result.error);
        file.close();
        if (!isEnded) {
            result.outcome = Recovery::Failed;
            return result;
        }
        result.outcome = Recovery::Finished;
    }
    if (tag.RowCount(bytes) != QByteArray::number(result.rows)) {
        if (!SetXmlFileRowCount(path, result.rows, &result.error)) {
            result.outcome = Recovery::Failed;
            return result;
        }
        result.outcome = Recovery::Finished;
    }
    if (isListed)
        return result;

    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        result.outcome = Recovery::Failed;
        result.error = file.errorString();
        return result;
    }
    const RunFile content = RunFile::Read(&file);
    if (content.rows.size() < 2)
        return result;

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
    record.count = result.rows;
    SetMeans(&record, content.rows.size(), speedSum, levelSum, quantitySum);
    record.filePath = path;
    result.record = record;
    return result;
}

int MeasurementFile::RemoveTemporaries()
{
    // The name a rewrite gives its copy: the run file's, then six characters.
    static const QRegularExpression temporaryName{
        QLatin1String(RunFileFormat::FileNamePattern).chopped(1) +
        QStringLiteral("\\.[A-Za-z0-9]{6}$")};
    const QDir folder(XmlFolder(false));
    int removed = 0;
    for (const QString &name : folder.entryList({QStringLiteral("*.xml.*")}, QDir::Files)) {
        if (!temporaryName.match(name).hasMatch())
            continue;
        // Only once the run file itself is whole: until then the copy may
        // be all that is left of it.
        QFile run(folder.filePath(name.left(name.size() - 7)));
        if (!run.open(QIODevice::ReadOnly))
            continue;
        run.seek(qMax<qint64>(0, run.size() - EdgeBytes));
        if (IsFinished(run.read(EdgeBytes)) && QFile::remove(folder.filePath(name)))
            ++removed;
    }
    return removed;
}

void MeasurementFile::Release()
{
    xmlWriter.reset();
    xmlFile.reset();
}
