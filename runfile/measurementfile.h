#pragma once

#include "historyrecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QFile;
class QXmlStreamWriter;

// The spreadsheet file of one measurement run (XML Spreadsheet 2003): the head
// template, a table with one row per sample, the tail template. Each row is
// handed to the operating system as soon as it is written, so a program killed
// during a run leaves every sample taken so far readable. The finished file
// replaces the recorded one in a single rename.
class MeasurementFile
{
public:
    MeasurementFile();
    ~MeasurementFile();

    MeasurementFile(const MeasurementFile &) = delete;
    MeasurementFile &operator=(const MeasurementFile &) = delete;

    // Opens a new file for a run started at startTime, in the folder "xml" of
    // the working directory, never reusing an existing file. False when no
    // file could be opened: errorString() says why, and the run records
    // nothing.
    bool CreateXmlFile(const QDateTime &startTime = QDateTime::currentDateTime());

    // Appends one sample: time as RunFileFormat::RowTimeFormat, velocity m/s, level m,
    // flow m³/s, air gap m, cumulative discharge m³ and the two radars' signal
    // strengths. False, and nothing counted, when no file is open or the row
    // could not be written; then the file is cut back to its last whole row
    // and errorString() says why.
    bool WriteXmlFileRow(const QString &time, double speed, double level, double quantity,
                         double airGap, double discharge, int speedStrength, int levelStrength);

    // Ends the run. With two rows or more the file is finished and the run's
    // history row is returned, its means those of the rows written; with
    // fewer the file is deleted and nothing is returned.
    std::optional<HistoryRecord> SaveXmlFile(const QDateTime &startTime, const QDateTime &endTime);

    bool isRecording() const;
    int rowCount() const { return xmlFileRowCount; }
    // Absolute path of the current (or last) run's file.
    QString filePath() const { return historyRecord.filePath; }
    QString errorString() const { return lastError; }

    // "%1-%2:%3:%4": days, hours, minutes, seconds, unpadded.
    static QString DurationText(qint64 seconds);

    // What the recovery at start found in a run file and did with it.
    struct Recovery
    {
        enum Outcome
        {
            Untouched, // whole as it was
            Finished,  // its end or its row count set now
            Removed,   // an unlisted run of fewer than 2 rows
            CutHead,   // cut inside its head or the table's start; movedTo says where
            CutShort,  // a finished, listed file that lost rows; left as it is
            Failed     // could not be finished: error says why
        };
        Outcome outcome = Untouched;
        // The history row of a file the history did not list, from its rows.
        std::optional<HistoryRecord> record;
        int rows = 0; // whole rows in the file
        QString movedTo;
        QString error;
    };
    // A run file as a killed program, a power cut or a full disk left it:
    // a partial last row is dropped and the file finished as the end of a run
    // would, its row count set to its rows. listedCount is the count the
    // history holds for it, -1 when it is not listed. A listed file is never
    // cut or moved: only an end that a full disk kept from being written is
    // added. An unlisted file of fewer than 2 rows is removed; one cut before
    // its table is moved into the folder of damaged files. A whole listed
    // file is only looked at, never read whole.
    static Recovery Recover(const QString &path, int listedCount);
    // Removes the temporary files (RUN.xml.XXXXXX) that an interrupted
    // rewrite left beside finished run files.
    static int RemoveTemporaries();
    // The run files of the "xml" folder: those named after a run's start.
    static QStringList RunFiles();

private:
    static QString XmlFolder(bool isCreating);
    static void InstallTemplate(const QString &folder, const QString &name);
    static bool AppendTemplateFile(QFile *dest, const QString &templatePath);
    // Sets the table's row count in place when the table's start tag has
    // room for it, otherwise through a complete copy; the file stays as it
    // was when neither can be done.
    static bool SetXmlFileRowCount(const QString &path, int rowCount, QString *error);
    // Closes the table and appends the tail to an open file.
    static bool AppendEnd(QFile *file, QString *error);
    // The means of velocity, level and flow over rows, as the history row
    // shows them.
    static void SetMeans(HistoryRecord *record, int rows, double speedSum, double levelSum,
                         double quantitySum);
    bool OpenFreeFile(const QString &folder, const QString &baseName);
    void Release();

    std::unique_ptr<QFile> xmlFile;
    std::unique_ptr<QXmlStreamWriter> xmlWriter;
    HistoryRecord historyRecord;
    // The rows written so far and the sums of their values as written.
    int xmlFileRowCount = 0;
    double speedSum = 0;
    double levelSum = 0;
    double quantitySum = 0;
    QString lastError;
};
