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

    // A run file left without its end (the program was killed or lost its
    // power): a partial last row is dropped and the file finished as the end
    // of a run would. Returns its history row, computed from its rows, when
    // it has 2 rows or more. A finished file is only read. *isChanged tells
    // whether the file was finished now; *error why it could not be.
    // A file the history already lists is only looked at, never read whole.
    static std::optional<HistoryRecord> Recover(const QString &path, bool isListed, bool *isChanged,
                                                QString *error);
    // The run files of the "xml" folder: those named after a run's start.
    static QStringList RunFiles();

private:
    static QString XmlFolder(bool isCreating);
    static void InstallTemplate(const QString &folder, const QString &name);
    static bool AppendTemplateFile(QFile *dest, const QString &templatePath);
    static bool SetXmlFileRowCount(const QString &path, int rowCount);
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
