#include "Vellix/Gui/ListedFileQueue.h"

#include "Vellix/Gui/RgbaImage.h"

#include "Trova/BitmapUtils.h"
#include "Util/Exception.h"
#include "Vellix/BitmapList.h"
#include "Vellix/TexturePicture.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace Ostrel::Vellix::Gui {

namespace {

// Summaries go back in batches of this many, so that the list repaints seldom enough.
constexpr std::size_t kSummaryBatch = 64;

} // namespace

QImage ThumbnailImage(const Trova::Bitmap& picture, QSize size) {
    return ToQImage(Vellix::MakeThumbnail(picture, static_cast<std::uint32_t>(size.width()), {}));
}

ListedFileQueue::ListedFileQueue(QSize large, QSize small, QObject* parent)
    : QObject(parent), large_(large), small_(small) {}

ListedFileQueue::~ListedFileQueue() {
    Cancel();
    for (QFuture<void>& worker : workers_) {
        worker.waitForFinished();
    }
}

void ListedFileQueue::Cancel() {
    if (cancelled_) {
        *cancelled_ = true;
    }
    ++generation_;
    running_ = 0;
}

void ListedFileQueue::Start(std::vector<Job> jobs) {
    Cancel();
    std::erase_if(workers_, [](const QFuture<void>& worker) { return worker.isFinished(); });
    if (jobs.empty()) {
        emit Finished();
        return;
    }
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
    // Every worker takes every n-th job, so the first rows are made first by all of them.
    const auto count = static_cast<std::size_t>(std::max(1, QThread::idealThreadCount()));
    std::vector<std::vector<Job>> shares(std::min(count, jobs.size()));
    for (std::size_t job = 0; job < jobs.size(); ++job) {
        shares[job % shares.size()].push_back(std::move(jobs[job]));
    }
    running_ = static_cast<int>(shares.size());
    for (auto& share : shares) {
        workers_.push_back(
            QtConcurrent::run(&pool_, [this, share = std::move(share), cancelled = cancelled_,
                                       generation = generation_]() mutable {
                RunShare(std::move(share), std::move(cancelled), generation);
            }));
    }
}

// On a worker thread: only this share's own objects are touched; results go back queued.
void ListedFileQueue::RunShare(std::vector<Job> jobs, std::shared_ptr<std::atomic<bool>> cancelled,
                               unsigned generation) {
    DetachedPictureReader reader;
    WorkerFactories factories;
    RowSummaries summaries;
    for (const Job& job : jobs) {
        if (*cancelled) {
            return;
        }
        const FileSummary summary =
            job.directory ? job.directory->Summarise(factories) : job.summary;
        if (job.directory) {
            summaries.emplace_back(job.row, summary);
            if (summaries.size() == kSummaryBatch) {
                Post(summaries, generation);
            }
        }
        if (job.thumbnail) {
            MakeIcons(reader, job, summary, generation);
        }
    }
    Post(summaries, generation);
    QMetaObject::invokeMethod(
        this, [this, generation] { OnShareDone(generation); }, Qt::QueuedConnection);
}

void ListedFileQueue::MakeIcons(DetachedPictureReader& reader, const Job& job,
                                const FileSummary& summary, unsigned generation) {
    if (summary.LevelCount() == 0 || !summary.error.empty()) {
        return;
    }
    const PictureSize fitted =
        FitIntoSquare(summary.width, summary.height, static_cast<std::uint32_t>(large_.width()));
    try {
        const auto picture =
            reader.Picture(job.source, ThumbnailLevel(summary, fitted.width, fitted.height));
        if (!picture || picture->GetWidth() == 0 || picture->GetHeight() == 0) {
            return;
        }
        QImage large = ThumbnailImage(*picture, large_);
        QImage small = ThumbnailImage(*picture, small_);
        QMetaObject::invokeMethod(
            this,
            [this, row = job.row, large, small, generation] {
                if (generation == generation_) {
                    emit Made(row, large, small);
                }
            },
            Qt::QueuedConnection);
    } catch (const Util::Exception&) {
        // the type icon stays; the list shows why a file cannot be read
    } catch (const std::exception&) {
    }
}

void ListedFileQueue::Post(RowSummaries& summaries, unsigned generation) {
    if (summaries.empty()) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, batch = std::move(summaries), generation] {
            if (generation == generation_) {
                emit Summarised(batch);
            }
        },
        Qt::QueuedConnection);
    summaries.clear();
}

void ListedFileQueue::OnShareDone(unsigned generation) {
    if (generation == generation_ && --running_ == 0) {
        emit Finished();
    }
}

} // namespace Ostrel::Vellix::Gui
