#include "Vellix/Gui/ThumbnailQueue.h"

#include "Vellix/Gui/RgbaImage.h"

#include "Trova/BitmapUtils.h"
#include "Util/Exception.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace Ostrel::Vellix::Gui {

QImage ThumbnailImage(const Trova::Bitmap& picture, QSize size) {
    return ToQImage(MakeThumbnail(picture, static_cast<std::uint32_t>(size.width()), {}));
}

ThumbnailQueue::ThumbnailQueue(QSize large, QSize small, QObject* parent)
    : QObject(parent), large_(large), small_(small) {}

ThumbnailQueue::~ThumbnailQueue() {
    Cancel();
    for (QFuture<void>& worker : workers_) {
        worker.waitForFinished();
    }
}

void ThumbnailQueue::Cancel() {
    if (cancelled_) {
        *cancelled_ = true;
    }
    ++generation_;
    running_ = 0;
}

void ThumbnailQueue::Start(std::vector<Job> jobs) {
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
            QtConcurrent::run([this, share = std::move(share), cancelled = cancelled_,
                               generation = generation_]() mutable {
                RunShare(std::move(share), std::move(cancelled), generation);
            }));
    }
}

// On a worker thread: only this share's own objects are touched; results go back queued.
void ThumbnailQueue::RunShare(std::vector<Job> jobs, std::shared_ptr<std::atomic<bool>> cancelled,
                              unsigned generation) {
    DetachedPictureReader reader;
    for (const Job& job : jobs) {
        if (*cancelled) {
            return;
        }
        try {
            const auto picture = reader.Picture(job.source, job.level);
            if (!picture || picture->GetWidth() == 0 || picture->GetHeight() == 0) {
                continue;
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
    QMetaObject::invokeMethod(
        this, [this, generation] { OnShareDone(generation); }, Qt::QueuedConnection);
}

void ThumbnailQueue::OnShareDone(unsigned generation) {
    if (generation == generation_ && --running_ == 0) {
        emit Finished();
    }
}

} // namespace Ostrel::Vellix::Gui
