// SPDX-License-Identifier: GPL-3.0-or-later
// Owns the worker thread and the worker that lives in it.
#pragma once

#include <QObject>
#include <QThread>

class rq7_worker;

class rq7_controller : public QObject
{
    Q_OBJECT

public:
    explicit rq7_controller(QObject* parent = nullptr);
    ~rq7_controller() override;

    rq7_worker* worker() const { return worker_; }

private:
    QThread thread;
    rq7_worker* worker_; // deleted on its own thread when the thread finishes
};
