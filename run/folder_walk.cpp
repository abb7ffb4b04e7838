#include "run/folder_walk.h"

#include "platform/file_facts.h"
#include "text/text_rewrite.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace orvane {

using platform::EntryKind;
using platform::FileStat;
using platform::Folder;
using platform::FolderListing;
using platform::Links;

namespace {

// Streams a matched file's new text into the safe rewriter. The temporary file is created
// only once the text engine says the file matched, so an unmatched file is never opened
// for writing.
class RewriteInto final : public RewriteOutput
{
public:
    RewriteInto(platform::SafeRewrite &rewrite, const Folder &folder, const char *name,
                platform::FileReader &original, platform::FsError &error)
        : m_rewrite(rewrite)
        , m_folder(folder)
        , m_name(name)
        , m_original(original)
        , m_error(error)
    {}

    void begin() override { m_started = m_rewrite.begin(m_folder, m_name, m_original, m_error); }
    // A failed write is remembered by the rewriter and reported by finish().
    void append(std::string_view bytes) override
    {
        if (m_started)
            m_rewrite.append(bytes);
    }
    bool started() const { return m_started; }

private:
    platform::SafeRewrite &m_rewrite;
    const Folder &m_folder;
    const char *m_name;
    platform::FileReader &m_original;
    platform::FsError &m_error;
    bool m_started = false;
};

// How far the walk lists ahead of itself: folders opened and listed, files queued for the
// workers. A sync made while the walk waits covers everything prepared by then, so the
// further the workers can go, the fewer and fuller the syncs.
constexpr std::size_t kFoldersAhead = 64;
constexpr std::size_t kFilesAhead = 2048;
// Files the workers may have done ahead of the walk.
constexpr std::size_t kWindow = 512;

// The window within the descriptors the process may open: a prepared rewrite holds two (its
// temporary file and the original) until installed, a replaced original one until it is
// closed; folders listed ahead and everything else need the rest.
std::size_t filesAheadWindow()
{
    const std::size_t limit = platform::raiseOpenFileLimit();
    const std::size_t reserved = kFoldersAhead + 256;
    const std::size_t fits = limit > reserved ? (limit - reserved) / 3 : 0;
    return std::clamp<std::size_t>(fits, 16, kWindow);
}

// The search path made absolute, so every row and message names a full path. Only "." and
// doubled slashes are dropped: ".." is left to the kernel, which knows where links lead.
std::string absolutePath(const std::string &typed)
{
    std::string joined;
    if (!typed.starts_with('/')) {
        std::string cwd(4096, '\0');
        while (!::getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE)
                return typed; // opening it will fail with a clear reason
            cwd.resize(cwd.size() * 2);
        }
        joined.assign(cwd.c_str());
        joined += '/';
    }
    joined += typed;

    std::string path;
    std::size_t at = 0;
    while (at < joined.size()) {
        std::size_t next = joined.find('/', at);
        if (next == std::string::npos)
            next = joined.size();
        const std::string_view part(joined.data() + at, next - at);
        if (!part.empty() && part != ".") {
            path += '/';
            path += part;
        }
        at = next + 1;
    }
    return path.empty() ? std::string("/") : path;
}

} // namespace

FolderWalk::FolderWalk(const RunSettings &settings, RunState &state, RunSink &sink,
                       const platform::FileFacts &facts)
    : m_settings(settings)
    , m_state(state)
    , m_sink(sink)
    , m_facts(facts)
    , m_wantsDetails(sink.wantsRowDetails())
    , m_rewriter(settings.Action, settings.FindText, settings.InsertText, settings.EndText)
{}

FolderWalk::~FolderWalk()
{
    // The workers go first: they use the folders and listings held here.
    m_pipeline.reset();
}

void FolderWalk::run()
{
    // Nothing can match an empty find text: no folder is even looked up.
    if (m_settings.FindText.empty()) {
        writeSummary();
        return;
    }
    if (m_wantsDetails)
        m_thousandsSeparator = m_facts.thousandsSeparator();

    const std::string path = absolutePath(m_settings.SearchPath);
    Folder root;
    FileStat rootStat;
    // The typed search path may itself be a link to a folder: the user named it.
    if (!root.open(path, m_error, Links::Follow)
        || !platform::statPath(path, Links::Follow, rootStat, m_error)
        || !platform::realPath(path, m_rootReal, m_error)) {
        report(m_error);
        writeSummary();
        return;
    }
    // Workers read, match and prepare rewrites ahead of the walk; the walk decides.
    const bool writes = m_settings.Action != ActionKind::JustFind;
    m_pipeline = std::make_unique<FilePipeline>(m_rewriter, writes,
                                                FilePipeline::defaultWorkers(writes),
                                                filesAheadWindow(), &m_state.Running);
    m_ancestors.push_back({rootStat.dev, rootStat.ino});
    WalkFolder(root, 0);
    m_ancestors.clear();
    dropAhead();
    // A run that stopped early ends here: its renames too must be durable before it returns.
    reportFolderSyncFailures(true);
}

void FolderWalk::WalkFolder(const Folder &folder, std::size_t depth, Ahead *listedAhead)
{
    if (m_listings.size() <= depth) {
        m_listings.push_back(std::make_unique<FolderListing>());
        m_folderAt.push_back(nullptr);
        m_subAt.push_back(0);
    }
    m_folderAt[depth] = &folder;
    if (listedAhead) {
        // Listed and queued while the walk was on the files before: take it over.
        std::swap(m_listings[depth], listedAhead->listing);
        std::swap(m_passes, listedAhead->passes);
    } else if (!m_listings[depth]->read(folder, m_error)) {
        report(m_error);
        writeSummary();
        return;
    }
    FolderListing &listing = *m_listings[depth];

    const bool finished = visitFiles(folder, listing, depth, listedAhead);
    syncPendingFolder();
    // Stopped before a further file of this folder: no subfolders and no summary from here.
    if (!finished)
        return;

    if (m_settings.IncludeSubfolders) {
        for (std::size_t i = 0; i < listing.size(); ++i) {
            if (listing.kind(i) != EntryKind::Folder)
                continue;
            FileStat stat;
            if (!platform::statAt(folder, listing.name(i), Links::NoFollow, stat, m_error)) {
                report(m_error);
                continue;
            }
            const FileId id{stat.dev, stat.ino};
            if (std::find(m_ancestors.begin(), m_ancestors.end(), id) != m_ancestors.end()) {
                setFilePath(folder, listing.nameView(i));
                report(m_filePath, "not searched: it is a folder already being searched "
                                   "(a mount that loops back)");
                continue;
            }
            m_subAt[depth] = i;
            if (!m_aheads.empty() && m_aheads.front().parentDepth == depth
                && m_aheads.front().entry == i) {
                Ahead taken = std::move(m_aheads.front());
                m_aheads.pop_front();
                if (taken.outcome != Ahead::Listed) {
                    report(taken.error);
                    // A folder that opened but could not be listed still ends with a summary.
                    if (taken.outcome == Ahead::ListFailed)
                        writeSummary();
                    recycle(taken);
                    continue;
                }
                m_ancestors.push_back(id);
                WalkFolder(*taken.folder, depth + 1, &taken);
                m_ancestors.pop_back();
                recycle(taken);
                continue;
            }
            dropAhead(); // listed ahead for a folder the walk did not enter
            Folder subfolder;
            if (!subfolder.openAt(folder, listing.name(i), m_error)) {
                report(m_error);
                continue;
            }
            m_ancestors.push_back(id);
            WalkFolder(subfolder, depth + 1);
            m_ancestors.pop_back();
        }
    }
    // The last summary closes the run: every rename is durable and every failure told.
    if (depth == 0)
        reportFolderSyncFailures(true);
    writeSummary();
}

bool FolderWalk::visitFiles(const Folder &folder, const FolderListing &listing,
                            std::size_t depth, bool queued)
{
    // After a Stop, a folder still entered (one with no files of its own goes on to its
    // subfolders) gives the workers nothing and lists nothing ahead.
    if (m_state.Running.load()) {
        if (!queued) {
            dropAhead();
            queueFiles(folder, listing, m_candidates, m_passes);
        }
        listAhead(depth);
    } else if (!queued) {
        dropAhead();
        markPasses(listing, m_passes);
    }

    for (std::size_t i = 0; i < listing.size(); ++i) {
        const EntryKind kind = listing.kind(i);
        if (kind == EntryKind::Folder)
            continue;
        if (!m_state.Running.load()) {
            stopFiles();
            return false;
        }
        setFilePath(folder, listing.nameView(i));
        if (m_passes[i]) {
            if (kind == EntryKind::Regular) {
                FilePipeline::Slot &slot = m_pipeline->take();
                // Stopped between the test above and the worker's start on this file.
                if (slot.stopped) {
                    stopFiles();
                    return false;
                }
                commitFile(folder, listing.name(i), slot);
            } else {
                processFile(folder, listing.name(i), kind);
            }
        }
        // Every file visited shows, also one whose name failed the mask.
        m_sink.setPanel1(m_filePath);
        m_sink.setPanel2(std::to_string(m_state.ChangedCount.load()));
    }
    m_pipeline->release(); // before this folder can close
    return true;
}

void FolderWalk::stopFiles()
{
    // Work done ahead for files not reached is dropped; no original was touched.
    dropAhead();
    m_pipeline->reset();
}

void FolderWalk::markPasses(const FolderListing &listing, std::vector<char> &passes) const
{
    passes.assign(listing.size(), 0);
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const EntryKind kind = listing.kind(i);
        // Our own temporary files and safety copies, left by a crash, count as failing the
        // mask: editing one would change what a recovery needs.
        if (kind != EntryKind::Folder && MaskMatches(listing.nameView(i), m_settings.Mask)
            && !platform::isRewriteLeftoverName(listing.nameView(i)))
            passes[i] = 1;
    }
}

void FolderWalk::queueFiles(const Folder &folder, const FolderListing &listing,
                            std::vector<const char *> &candidates, std::vector<char> &passes)
{
    // Regular files that pass the mask go to the pipeline; links and special files are
    // handled by the walk itself, as they come.
    markPasses(listing, passes);
    candidates.clear();
    for (std::size_t i = 0; i < listing.size(); ++i) {
        if (passes[i] && listing.kind(i) == EntryKind::Regular)
            candidates.push_back(listing.name(i));
    }
    m_pipeline->add(folder, candidates);
}

void FolderWalk::listAhead(std::size_t depth)
{
    if (!m_settings.IncludeSubfolders)
        return;
    // Enough work ahead for the workers and for each batched sync to cover many files,
    // without holding many folders open.
    if (m_aheads.size() >= kFoldersAhead || m_pipeline->pending() >= kFilesAhead)
        return;

    // Where the walk stands once it is past what is already listed ahead.
    m_plan.clear();
    for (std::size_t k = 0; k <= depth; ++k)
        m_plan.push_back({m_folderAt[k], m_listings[k].get(), k < depth ? m_subAt[k] : SIZE_MAX,
                          m_ancestors[k], true});
    for (const Ahead &ahead : m_aheads) {
        m_plan.resize(ahead.parentDepth + 1);
        m_plan.back().sub = ahead.entry;
        m_plan.push_back({ahead.folder.get(), ahead.listing.get(), SIZE_MAX, ahead.id,
                          ahead.outcome == Ahead::Listed});
    }

    while (m_aheads.size() < kFoldersAhead && m_pipeline->pending() < kFilesAhead) {
        // Nothing is listed or queued after Stop.
        if (!m_state.Running.load())
            return;
        // The next folder the walk enters: the last planned folder's first subfolder, or
        // else the next subfolder of the nearest folder above that has one.
        std::size_t entry = SIZE_MAX;
        while (!m_plan.empty()) {
            PlanFrame &frame = m_plan.back();
            if (frame.listed) {
                for (std::size_t j = frame.sub + 1; j < frame.listing->size(); ++j) {
                    if (frame.listing->kind(j) == EntryKind::Folder) {
                        entry = j;
                        break;
                    }
                }
            }
            if (entry != SIZE_MAX)
                break;
            m_plan.pop_back();
        }
        if (m_plan.empty())
            return;
        PlanFrame &parent = m_plan.back();
        const std::size_t parentDepth = m_plan.size() - 1;
        const FolderListing &parentListing = *parent.listing;

        // The same checks the walk makes when it gets there; it makes them again then.
        platform::FsError ignored; // the walk looks again when it gets there, and reports
        FileStat stat;
        if (!platform::statAt(*parent.folder, parentListing.name(entry), Links::NoFollow, stat,
                              ignored))
            return;
        const FileId id{stat.dev, stat.ino};
        for (const PlanFrame &frame : m_plan) {
            if (frame.id == id)
                return;
        }
        parent.sub = entry;

        Ahead &ahead = m_aheads.emplace_back();
        ahead.folder = std::make_unique<Folder>();
        if (m_spareListings.empty()) {
            ahead.listing = std::make_unique<FolderListing>();
        } else {
            ahead.listing = std::move(m_spareListings.back());
            m_spareListings.pop_back();
        }
        ahead.parentDepth = parentDepth;
        ahead.entry = entry;
        ahead.id = id;
        // A failure is kept for the walk to report when it gets there, exactly as if it had
        // opened or listed the folder itself then.
        if (!ahead.folder->openAt(*parent.folder, parentListing.name(entry), ahead.error)) {
            ahead.outcome = Ahead::OpenFailed;
        } else if (!ahead.listing->read(*ahead.folder, ahead.error)) {
            ahead.outcome = Ahead::ListFailed;
            ahead.folder.reset();
        } else {
            ahead.outcome = Ahead::Listed;
            queueFiles(*ahead.folder, *ahead.listing, ahead.candidates, ahead.passes);
        }
        m_plan.push_back({ahead.folder.get(), ahead.listing.get(), SIZE_MAX, id,
                          ahead.outcome == Ahead::Listed});
    }
}

void FolderWalk::dropAhead()
{
    if (m_aheads.empty())
        return;
    // Their files are the only ones still queued: the walk is past the files before.
    m_pipeline->reset();
    for (Ahead &ahead : m_aheads)
        recycle(ahead);
    m_aheads.clear();
}

void FolderWalk::recycle(Ahead &ahead)
{
    // A listing keeps its buffers, warm and grown: listing the next folder into it costs no
    // allocation and no page faults.
    if (ahead.listing)
        m_spareListings.push_back(std::move(ahead.listing));
}

void FolderWalk::commitFile(const Folder &folder, const char *name, FilePipeline::Slot &slot)
{
    if (!slot.readOk) {
        report(slot.error);
        return;
    }
    // As processFile: a file reached before through another link is left alone.
    const FileStat &readStat = slot.stat;
    if (alreadySeen(readStat))
        return;
    remember(readStat);

    bool rewritten = false;
    if (slot.matched && m_settings.Action != ActionKind::JustFind) {
        // The new content is already durable in its temporary file; only now, in walk order
        // and with Running tested, does it replace the original.
        if (!slot.prepared) {
            report(slot.error);
            m_state.ScannedCount.fetch_add(1);
            return;
        }
        if (!m_pipeline->makeDurable(slot, m_error) || !slot.rewrite.install(m_error)) {
            slot.rewrite.abandon();
            report(m_error);
            m_state.ScannedCount.fetch_add(1);
            return;
        }
        rewritten = true;
        if (slot.rewrite.mode() == platform::RewriteMode::Rename) {
            m_renamedIn = &folder;
            m_renamedDevice = readStat.dev;
        }
    }
    if (slot.matched) {
        listRow(folder, name, folder, name, rewritten ? nullptr : &readStat);
        m_state.ChangedCount.fetch_add(1);
    }
    m_state.ScannedCount.fetch_add(1);
}

void FolderWalk::processFile(const Folder &folder, const char *name, EntryKind kind)
{
    // FIFOs, sockets and devices are never opened: opening a FIFO would wait for a writer.
    if (kind == EntryKind::Other)
        return;

    // Where the bytes live: the entry itself, or for a link the target inside the tree.
    const Folder *dataFolder = &folder;
    const char *dataName = name;
    Folder targetFolder;
    std::string targetName;
    if (kind == EntryKind::Symlink) {
        if (!resolveLink(folder, name, targetFolder, targetName))
            return;
        dataFolder = &targetFolder;
        dataName = targetName.c_str();
    }

    if (!m_reader.read(*dataFolder, dataName, m_error, Links::NoFollow)) {
        report(m_error);
        return;
    }
    // A second link to a file already handled: rewriting it again would apply the action
    // twice (an insertion doubled), and listing it twice would count one file as two.
    if (alreadySeen(m_reader.stat())) {
        m_reader.close();
        return;
    }
    const FileStat readStat = m_reader.stat();
    remember(readStat);

    const std::string_view text = m_reader.content();
    const ActionKind action = m_settings.Action;
    bool matched = false;
    bool rewritten = false;
    if (action == ActionKind::JustFind) {
        matched = ActionMatches(action, text, m_settings.FindText, m_settings.EndText);
    } else {
        RewriteInto out(m_rewrite, *dataFolder, dataName, m_reader, m_error);
        matched = ApplyAction(action, text, m_settings.FindText, m_settings.InsertText,
                              m_settings.EndText, out);
        if (matched) {
            // Written even when the new text equals the old: the user asked for it.
            if (!out.started() || !m_rewrite.finish(m_error) || !m_rewrite.install(m_error)) {
                m_rewrite.abandon();
                report(m_error);
                m_reader.close();
                m_state.ScannedCount.fetch_add(1);
                return;
            }
            rewritten = true;
            if (m_rewrite.mode() == platform::RewriteMode::Rename) {
                if (dataFolder == &folder) {
                    m_renamedIn = &folder; // synced once, after the folder's files
                    m_renamedDevice = readStat.dev;
                } else if (!platform::syncFolder(*dataFolder, m_error)) {
                    report(m_error);
                }
            }
        }
    }
    m_reader.close();

    if (matched) {
        listRow(folder, name, *dataFolder, dataName, rewritten ? nullptr : &readStat);
        m_state.ChangedCount.fetch_add(1);
    }
    m_state.ScannedCount.fetch_add(1);
}

bool FolderWalk::resolveLink(const Folder &folder, const char *name, Folder &targetFolder,
                             std::string &targetName)
{
    platform::FsError ignored;
    FileStat target;
    // A dangling link holds nothing to search.
    if (!platform::statAt(folder, name, Links::Follow, target, ignored))
        return false;
    // A link to a folder is not descended (it could loop or leave the tree); a link to a
    // FIFO or device is not opened.
    if (target.kind() != EntryKind::Regular)
        return false;
    std::string real;
    if (!platform::realPath(m_filePath, real, ignored))
        return false;
    // Only files the user pointed the run at are rewritten, never one elsewhere on disk.
    if (!platform::pathIsInside(real, m_rootReal))
        return false;
    const std::size_t slash = real.rfind('/');
    targetName = real.substr(slash + 1);
    if (platform::isRewriteLeftoverName(targetName))
        return false;
    if (!targetFolder.open(slash == 0 ? std::string("/") : real.substr(0, slash), m_error,
                           Links::NoFollow)) {
        report(m_error);
        return false;
    }
    return true;
}

void FolderWalk::listRow(const Folder &folder, const char *name, const Folder &dataFolder,
                         const char *dataName, const FileStat *unchanged)
{
    // Read after the write: a rewritten file shows its new size and date. A rename also
    // gave it a new inode, which must count as handled too.
    FileStat facts;
    if (unchanged) {
        facts = *unchanged;
    } else if (platform::statAt(dataFolder, dataName, Links::NoFollow, facts, m_error)) {
        remember(facts);
    } else {
        report(m_error);
    }

    m_row.FileName.assign(name);
    m_row.FolderPath.assign(folder.path());
    if (m_wantsDetails) {
        m_row.SizeText = FormatSizeKB(facts.size, m_thousandsSeparator);
        m_row.TypeText = m_facts.typeDescription(m_filePath);
        m_row.DateText = m_facts.shortDate(facts.mtimeSec);
    }
    m_sink.addRow(m_row);
}

bool FolderWalk::alreadySeen(const FileStat &stat)
{
    return m_seen.contains(FileId{stat.dev, stat.ino});
}

void FolderWalk::remember(const FileStat &stat)
{
    m_seen.insert(FileId{stat.dev, stat.ino});
}

void FolderWalk::syncPendingFolder()
{
    // Makes the folder's renames durable, once for all its files.
    if (!m_renamedIn)
        return;
    // With the next batched sync of its file system where there is one, else on its own in
    // the background.
    if (!m_pipeline->syncLater(*m_renamedIn, m_renamedDevice)
        && !m_folderSyncer.sync(*m_renamedIn, m_error))
        report(m_error);
    m_renamedIn = nullptr;
    reportFolderSyncFailures(false);
}

void FolderWalk::reportFolderSyncFailures(bool wait)
{
    if (wait && m_pipeline)
        m_pipeline->finishSyncs(m_syncErrors);
    m_folderSyncer.takeFailures(m_syncErrors, wait);
    for (platform::FsError &error : m_syncErrors)
        report(error);
    m_syncErrors.clear();
}

void FolderWalk::writeSummary()
{
    const std::int64_t changed = m_state.ChangedCount.load();
    m_sink.setPanel1(SummaryText(m_settings.Action, changed, m_state.ScannedCount.load()));
    m_sink.setPanel2(std::to_string(changed));
}

void FolderWalk::report(const platform::FsError &error)
{
    m_sink.failure(RunFailure{error.path, error.reason});
    m_error.clear();
}

void FolderWalk::report(const std::string &path, std::string reason)
{
    m_sink.failure(RunFailure{path, std::move(reason)});
}

void FolderWalk::setFilePath(const Folder &folder, std::string_view name)
{
    m_filePath.assign(folder.path());
    if (m_filePath.empty() || m_filePath.back() != '/')
        m_filePath += '/';
    m_filePath.append(name);
}

} // namespace orvane
