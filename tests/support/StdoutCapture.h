#pragma once

#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <cstdio>

namespace pendra::test {

// Redirects file descriptor 1 into a temporary file for the capture's lifetime,
// so the tests see exactly the lines the program prints.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        saved_ = ::dup(STDOUT_FILENO);
        file_.open();
        ::dup2(file_.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture() { restore(); }
    QString text() {
        std::fflush(stdout);
        QFile in(file_.fileName());
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    }
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stdout);
            ::dup2(saved_, STDOUT_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
    }

private:
    QTemporaryFile file_;
    int saved_ = -1;
};

}  // namespace pendra::test
