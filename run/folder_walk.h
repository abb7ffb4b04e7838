#pragma once

// One run's walk over a folder tree. ExecuteRun makes one per run; it holds the buffers that
// are reused from file to file (listings, the file reader, the rewriter, the path text) and
// the set of files already handled.

#include "platform/file_system.h"
#include "platform/safe_rewrite.h"
#include "run/batch_run.h"
#include "run/file_pipeline.h"
#include "run/folder_syncer.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <memory_resource>
#include <string>
#include <unordered_set>
#include <vector>

namespace orvane {

class FolderWalk
{
public:
    FolderWalk(const RunSettings &settings, RunState &state, RunSink &sink,
               const platform::FileFacts &facts);
    ~FolderWalk();

    // The whole run: the search path's folder and, with subfolders included, its tree.
    void run();

private:
    struct FileId
    {
        std::uint64_t dev;
        std::uint64_t ino;
        bool operator==(const FileId &) const = default;
    };
    struct FileIdHash
    {
        std::size_t operator()(const FileId &id) const noexcept
        {
            return std::hash<std::uint64_t>()(id.ino * 0x9E3779B97F4A7C15ULL ^ id.dev);
        }
    };

    struct Ahead;
    // `listedAhead`: the folder was listed ahead, its files already queued.
    void WalkFolder(const platform::Folder &folder, std::size_t depth,
                    Ahead *listedAhead = nullptr);
    // Visits the folder's own files; false when Stop was met before a further file.
    bool visitFiles(const platform::Folder &folder, const platform::FolderListing &listing,
                    std::size_t depth, bool queued);
    // Drops what was prepared ahead of a Stop.
    void stopFiles();
    // Notes which entries of the folder are files whose names pass the mask.
    void markPasses(const platform::FolderListing &listing, std::vector<char> &passes) const;
    // Queues the folder's regular files that pass the mask; notes which entries pass.
    void queueFiles(const platform::Folder &folder, const platform::FolderListing &listing,
                    std::vector<const char *> &candidates, std::vector<char> &passes);
    // Opens and lists the next folders the walk will enter after this one's files, in walk
    // order, and queues their files, so the workers go on past the end of this folder and
    // each batched sync covers more files.
    void listAhead(std::size_t depth);
    void dropAhead();
    // The result of a regular file the pipeline read, matched and prepared: the decisions
    // and the install are made here, in walk order.
    void commitFile(const platform::Folder &folder, const char *name,
                    FilePipeline::Slot &slot);
    // Everything done for one file whose name passed the mask: read, match, rewrite, list,
    // count. Kept in one place so it can move to other threads later.
    void processFile(const platform::Folder &folder, const char *name,
                     platform::EntryKind kind);
    // For a symbolic link: the folder and name of its target when that is a regular file
    // inside the search path; false when the link is to be left alone.
    bool resolveLink(const platform::Folder &folder, const char *name,
                     platform::Folder &targetFolder, std::string &targetName);
    // `unchanged` holds the facts as read when the file was not rewritten; otherwise they
    // are taken anew.
    void listRow(const platform::Folder &folder, const char *name,
                 const platform::Folder &dataFolder, const char *dataName,
                 const platform::FileStat *unchanged);
    bool alreadySeen(const platform::FileStat &stat);
    void remember(const platform::FileStat &stat);
    void syncPendingFolder();
    void reportFolderSyncFailures(bool wait);
    void writeSummary();
    void report(const platform::FsError &error);
    void report(const std::string &path, std::string reason);
    void setFilePath(const platform::Folder &folder, std::string_view name);

    const RunSettings &m_settings;
    RunState &m_state;
    RunSink &m_sink;
    const platform::FileFacts &m_facts;
    const bool m_wantsDetails;
    std::string m_thousandsSeparator;
    std::string m_rootReal; // the search path with links resolved, for the link rule

    // One listing per depth, kept while the subfolders of that level are walked.
    std::vector<std::unique_ptr<platform::FolderListing>> m_listings;
    // Folders on the way down from the search path, so a bind mount that loops back is not
    // walked forever.
    std::vector<FileId> m_ancestors;
    platform::FileReader m_reader;
    platform::SafeRewrite m_rewrite;
    platform::FsError m_error;
    std::string m_filePath;
    ResultRow m_row; // reused, so listing a file allocates little
    const platform::Folder *m_renamedIn = nullptr; // folder with renames not yet synced
    std::uint64_t m_renamedDevice = 0;              // the file system it lies on

    // Reading, matching and preparing rewrites ahead of the walk, on other threads.
    ActionRewriter m_rewriter;
    std::unique_ptr<FilePipeline> m_pipeline;
    std::vector<const char *> m_candidates; // the folder's regular files that pass the mask
    std::vector<char> m_passes;             // per entry of the folder: its name passes
    // Per depth: the open folder, and the entry of the subfolder being walked.
    std::vector<const platform::Folder *> m_folderAt;
    std::vector<std::size_t> m_subAt;
    // The next folders of the walk, opened and listed ahead in walk order, their files queued.
    struct Ahead
    {
        enum Outcome : std::uint8_t { Listed, OpenFailed, ListFailed };
        Outcome outcome = Listed;
        FileId id{};
        platform::FsError error; // reported when the walk gets there, as it would have met it
        std::size_t parentDepth = 0;
        std::size_t entry = 0;
        std::unique_ptr<platform::Folder> folder;
        std::unique_ptr<platform::FolderListing> listing;
        std::vector<const char *> candidates;
        std::vector<char> passes;
    };
    std::deque<Ahead> m_aheads;
    std::vector<std::unique_ptr<platform::FolderListing>> m_spareListings;
    void recycle(Ahead &ahead);
    // The path the walk will take, rebuilt for each listAhead: the walk's open folders, then
    // the folders listed ahead on the way. `sub`: the entry gone into, SIZE_MAX for none yet.
    struct PlanFrame
    {
        const platform::Folder *folder;
        const platform::FolderListing *listing;
        std::size_t sub;
        FileId id;
        bool listed; // false: could not be listed, so there is nothing to go into
    };
    std::vector<PlanFrame> m_plan;
    // Folder syncs after renames, in the background; the run waits for them before its end.
    FolderSyncer m_folderSyncer;
    std::vector<platform::FsError> m_syncErrors;

    // Each file (device + inode) is handled once per run, however many links reach it.
    std::pmr::unsynchronized_pool_resource m_seenPool;
    std::pmr::unordered_set<FileId, FileIdHash> m_seen{&m_seenPool};
};

} // namespace orvane
