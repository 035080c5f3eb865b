#pragma once

#include "pictureloader.h"

#include <QObject>
#include <QSize>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

// Several picture files made ready off the UI thread: each file's private copy
// and slot picture (`Pictures::LoadKeptPicture`) on a thread pool of its own, at
// most two at once and never far ahead of what has been handed over, so that a
// batch held (by an open question, or by the page screen turning its page)
// makes its workers wait. Results are handed over on the UI thread strictly in
// file order. Cancel hands nothing more over: loads under way are abandoned,
// their results (and the private copies in them) freed where they end.
class PictureBatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PictureBatch)
public:
    using Loader = std::function<Pictures::LoadResult(const QString& path, QSize box, qreal devicePixelRatio)>;

    PictureBatch(QStringList files, QSize box, qreal devicePixelRatio, QObject* parent = nullptr);
    ~PictureBatch() override;

    void Start();
    // Hands nothing over and starts no further load until Resume.
    void Hold();
    void Resume();
    void Cancel();

    int Count() const { return int(m_files.size()); }
    // How many results have been handed over.
    int HandedOver() const { return m_next; }
    const QStringList& Files() const { return m_files; }

    // Tests make loading slow or uneven through this; an empty loader restores the real one.
    static void SetLoaderForTests(Loader loader);

    // Loads running at once, and how far loading runs ahead of what was handed over.
    static constexpr int Workers = 2;
    static constexpr int Ahead = 3;

signals:
    // The result for file `index`, in file order. Handlers may hold, cancel or
    // destroy (deleteLater) the batch, and may open questions.
    void Ready(int index, const Pictures::LoadResult& result);

private:
    struct Post;
    void Landed(int index, Pictures::LoadResult result);
    void Pump();
    void StartLoads();

    const QStringList m_files;
    const QSize m_box;
    const qreal m_dpr;
    std::shared_ptr<Post> m_post; // where workers send results, cut off when the batch goes
    std::map<int, Pictures::LoadResult> m_done;
    int m_started = 0;
    int m_running = 0;
    int m_next = 0;
    int m_holds = 0;
    bool m_pumping = false;
    bool m_cancelled = false;
    bool m_retrySoon = false;
};
