// One conversion of a Notes database into a PST file: the viewer chooses the
// folders, the worker converts them folder by folder in restartable runs,
// then the calendar entries, and the PST is written from the staging store,
// with the conversion report beside it.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "launcher/ConversionStats.h"
#include "launcher/DocumentReport.h"
#include "launcher/LauncherOptions.h"
#include "launcher/ProgressLine.h"
#include "launcher/WorkDirectory.h"
#include "platform/pst/PstWriter.h"
#include "worker/core/RunState.h"
#include "worker/core/WorkFiles.h"

struct ProgramPaths {
    std::string viewer;
    std::string saver;
};

// Where nsfviewer and nsfsaver are: next to this program, else the build tree.
ProgramPaths FindPrograms(const std::string& selfPath);

class CConversion {
public:
    CConversion(LauncherOptions options, ProgramPaths programs);
    // Returns the process exit status: 0 every document converted, merged or
    // skipped by choice; 3 finished, but documents were not converted or are
    // incomplete (the report names them) or a folder failed; 1 failed; 2 bad
    // input; 130 stopped.
    int Run();

private:
    bool CheckInput();
    // Checks that the PST can be written into the folder and sets pstPath.
    bool UseOutputFolder(const std::string& folder);
    bool RunViewer(std::vector<SelectionEntry>& folders);
    // False when the conversion cannot go on (stopped or failed); a folder
    // that fails on its own is reported and the next one follows.
    bool ConvertFolder(size_t index, size_t total, const SelectionEntry& folder);
    bool ConvertCalendar();
    // Runs the worker until the record says the batch is done; the pass's
    // end says how it ended (its reason when it failed).
    bool RunBatches(const std::u16string& what, bool calendarMode, const FolderRunRecord& first, CPassEnd& pass);
    bool WritePst();
    // The conversion report next to the PST; false when the documents cannot be listed.
    bool WriteReport();
    void PrintSummary(double seconds);
    void PrintParts() const;
    int ExitStatus();
    std::string WorkerLine(bool calendarMode) const;
    // Where the viewer and the worker put their temporary files.
    std::string TemporaryFolder();
    // Says so when the work folder's disk is (nearly) full; empty otherwise.
    std::string DiskSpaceHint() const;
    void PassOverDocument(bool calendarMode, FolderRunRecord& record, int signal);
    std::string WhyNotOpened() const;
    void Say(const std::string& text);
    // Messages the staging store holds so far (read while a worker fills it).
    uint64_t ItemsSaved() const;
    void Fail(const std::string& text);

    LauncherOptions options;
    ProgramPaths programs;
    CWorkDirectory work;
    CWorkDirectory scratch;  // the short-lived files, in memory when there is room
    std::string pstPath;      // the final PST
    std::string writtenPst;   // where it was written (another name when pstPath was taken meanwhile)
    std::vector<pst::CPartStats> writtenParts;  // the files of the PST, more than one when split
    std::u16string workPst;   // the PST path the worker logs on to (its staging store)
    size_t foldersDone = 0;
    // Documents on which the worker ended twice and that the runs passed over;
    // past this many something else is wrong and the folder fails.
    static constexpr size_t kMaxDocumentsPassedOver = 20;
    size_t documentsPassedOver = 0;
    std::string unfiledFolder;   // the folder of documents in no Notes folder, once converted
    bool stopped = false;
    std::string failure;
    std::map<std::u16string, uint64_t> writtenByClass;  // items in the PST by message class
    std::vector<CPassEnd> folderEnds;  // one per selected folder
    CPassEnd calendarEnd;
    CDocumentReport report;
    std::string reportPath;   // the report's CSV file, once written
    CProgressLine progress;
    ConversionStats stats;
};
