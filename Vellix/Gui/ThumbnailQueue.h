#pragma once

// Makes the list's thumbnails on worker threads, in the order asked (the list's order, so the
// rows in view come first), and hands each one back on the user-interface thread as it is ready.
// Starting again or cancelling drops whatever is still pending.

#include "Vellix/DetachedPicture.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <memory>
#include <vector>

namespace Ostrel::Trova {
class Bitmap;
}

namespace Ostrel::Vellix::Gui {

// A picture scaled into the icon's square with its aspect kept, over a small checkerboard.
QImage ThumbnailImage(const Trova::Bitmap& picture, QSize size);

class ThumbnailQueue final : public QObject {
    Q_OBJECT
public:
    struct Job {
        std::size_t row;
        PictureSource source;
        std::uint32_t level;
    };

    ThumbnailQueue(QSize large, QSize small, QObject* parent = nullptr);
    // Cancels and waits for the workers.
    ~ThumbnailQueue() override;

    void Start(std::vector<Job> jobs);
    // For the next start.
    void SetSizes(QSize large, QSize small) {
        large_ = large;
        small_ = small;
    }
    void Cancel();
    bool IsBusy() const { return running_ > 0; }

signals:
    // The thumbnails of a row, large and small. A file that cannot be pictured sends nothing.
    void Made(std::size_t row, const QImage& large, const QImage& small);
    // After the last job of a start that was not cancelled.
    void Finished();

private:
    void RunShare(std::vector<Job> jobs, std::shared_ptr<std::atomic<bool>> cancelled,
                  unsigned generation);
    void OnShareDone(unsigned generation);

    QSize large_;
    QSize small_;
    unsigned generation_ = 0;
    int running_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::vector<QFuture<void>> workers_;
};

} // namespace Ostrel::Vellix::Gui
