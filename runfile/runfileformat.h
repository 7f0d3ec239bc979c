#pragma once

// The run file, an XML Spreadsheet 2003 workbook with one row per sample: the
// shape every writer and reader of it shares. Changing a value here changes
// the files of every station, and the readers of files already recorded.
namespace RunFileFormat {

// Cells of a row as the first recorders wrote it (time, velocity, level,
// flow), and as they are now, the newer cells following the older ones.
constexpr int OldColumnCount = 4;
constexpr int ColumnCount = 8;

// The cells of a row, in file order.
enum Column
{
    Time,
    Speed,         // surface velocity, m/s
    Level,         // water level, m
    Quantity,      // flow, m³/s
    AirGap,        // m
    Discharge,     // cumulative, m³
    SpeedStrength, // velocity radar's signal strength
    LevelStrength, // level radar's signal strength
};

// The columns as the CSV names them, units included. ASCII only: a
// spreadsheet that guesses the encoding of a file without a byte-order mark
// still reads the header right.
constexpr const char *ColumnNames[ColumnCount] = {"time",
                                                  "velocity (m/s)",
                                                  "level (m)",
                                                  "flow (m3/s)",
                                                  "air gap (m)",
                                                  "discharge (m3)",
                                                  "velocity signal strength",
                                                  "level signal strength"};

// Significant digits of velocity, level, flow and air gap in a row; the
// discharge keeps every digit.
constexpr int Precision = 6;

// A row's time cell, local time.
constexpr char RowTimeFormat[] = "yyyy-MM-dd HH:mm:ss";
// A run's start as its history row holds it, local time.
constexpr char StartTimeFormat[] = "yyyy-MM-dd hh:mm:ss";
// A run file is named after its run's start: this, then "_2", "_3", … when
// that name is taken, then ".xml".
constexpr char FileNameTimeFormat[] = "yyyy-MM-dd_hh_mm_ss";
constexpr char FileNamePattern[] = "^\\d{4}-\\d{2}-\\d{2}_\\d{2}_\\d{2}_\\d{2}(_\\d+)?\\.xml$";
// A CSV time, before its UTC offset.
constexpr char CsvTimeFormat[] = "yyyy-MM-dd'T'HH:mm:ss";

// The table's row count while a run is recorded, and the room left after the
// table's attributes so that the real count (up to 10 digits) can be set in
// place, without rewriting the file.
constexpr char PlaceholderRowCount[] = "10";
constexpr int RowCountRoom = 8;

// The folder of the working directory that holds the run files and the
// templates.
constexpr char Folder[] = "xml";
// Head and tail around the table, shipped as resources and installed into
// the folder, where a station may adapt them.
constexpr char HeadTemplate[] = "excel_head.xml";
constexpr char TailTemplate[] = "excel_tail.xml";
constexpr char TemplateResources[] = ":/templates/";
// The folder inside Folder that keeps run files too damaged to be read.
constexpr char DamagedFolder[] = "damaged";

} // namespace RunFileFormat
