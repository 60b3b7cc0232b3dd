#pragma once

#include <QMimeData>
#include <memory>

#include "ui/text/text_clipboard.h"

// While it lives, text areas reach a stand-in for X11's primary selection, kept in this process:
// one that the platform has or has not, holding what another program offers or what an area
// offers itself. The offscreen platform has none, and would hide whether an area offers its
// selection and pastes one.
class StandInPrimarySelection {
public:
    explicit StandInPrimarySelection(bool supported) : saved_(primarySelection()) {
        held().reset();
        isSupported() = supported;
        primarySelection() = {
            [] { return isSupported(); },
            [] { return static_cast<const QMimeData *>(held().get()); },
            [](QMimeData *data) { held().reset(data); },
            [] { held().reset(); },
        };
    }
    ~StandInPrimarySelection() {
        held().reset();
        primarySelection() = saved_;
    }
    StandInPrimarySelection(const StandInPrimarySelection &) = delete;
    StandInPrimarySelection &operator=(const StandInPrimarySelection &) = delete;

    // Holds text another program offers.
    void hold(const QByteArray &utf8) {
        auto *data = new QMimeData;
        data->setText(QString::fromUtf8(utf8));
        held().reset(data);
    }

private:
    static bool &isSupported() {
        static bool supported = false;
        return supported;
    }
    static std::unique_ptr<QMimeData> &held() {
        static std::unique_ptr<QMimeData> data;
        return data;
    }

    PrimarySelection saved_;
};
