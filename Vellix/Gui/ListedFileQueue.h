#pragma once

// Reads the summaries the list still lacks and makes its thumbnails on worker threads, in the
// order asked (the list's order, so the rows in view come first), and hands them back on the
// user-interface thread as they are ready: summaries a batch at a time, thumbnails one by one.
// Starting again or cancelling drops whatever is still pending.

#include "Vellix/DetachedPicture.h"
#include "Vellix/FileSummary.h"
#include "Vellix/WorkerDirectory.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace Ostrel::Trova {
class Bitmap;
}

namespace Ostrel::Vellix::Gui {

// A picture scaled into the icon's square with its aspect kept, over a small checkerboard.
QImage ThumbnailImage(const Trova::Bitmap& picture, QSize size);

using RowSummaries = std::vector<std::pair<std::size_t, FileSummary>>;

class ListedFileQueue final : public QObject {
    Q_OBJECT
public:
    struct Job {
        std::size_t row;
        // The file's summary; its names alone while directory is set.
        FileSummary summary;
        // Set when the summary is still to be read (taken on the user-interface thread).
        std::shared_ptr<WorkerDirectory> directory;
        PictureSource source;
        bool thumbnail = false;
    };

    ListedFileQueue(QSize large, QSize small, QObject* parent = nullptr);
    // Cancels and waits for the workers.
    ~ListedFileQueue() override;

    void Start(std::vector<Job> jobs);
    // For the next start.
    void SetSizes(QSize large, QSize small) {
        large_ = large;
        small_ = small;
    }
    void Cancel();
    bool IsBusy() const { return running_ > 0; }

signals:
    // Summaries read on a worker, by row.
    void Summarised(const Ostrel::Vellix::Gui::RowSummaries& summaries);
    // The thumbnails of a row, large and small. A file that cannot be pictured sends nothing.
    void Made(std::size_t row, const QImage& large, const QImage& small);
    // After the last job of a start that was not cancelled.
    void Finished();

private:
    void RunShare(std::vector<Job> jobs, std::shared_ptr<std::atomic<bool>> cancelled,
                  unsigned generation);
    void MakeIcons(DetachedPictureReader& reader, const Job& job, const FileSummary& summary,
                   unsigned generation);
    void Post(RowSummaries& summaries, unsigned generation);
    void OnShareDone(unsigned generation);

    QSize large_;
    QSize small_;
    unsigned generation_ = 0;
    int running_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::vector<QFuture<void>> workers_;
    // Not the global pool: the raster paint engine draws with that one, and a list whose workers
    // held it would not paint until they were done.
    QThreadPool pool_;
};

} // namespace Ostrel::Vellix::Gui
