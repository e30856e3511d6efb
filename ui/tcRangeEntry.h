#pragma once
// The window's entry of address ranges beyond the local segment: a button that opens a
// one-line dialog. The ranges hold for this session only (nothing is stored); each
// Refresh queries their hosts by unicast besides the local segment's discovery.

#include "tcAddressRange.h"

#include <QPushButton>

class tcRangeEntry : public QPushButton
{
    Q_OBJECT
public:
    explicit tcRangeEntry(QWidget* apParent = nullptr);

    const tcAddressRanges& ranges() const { return m_ranges; }
    const QString& rangesText() const { return m_text; }

    // Takes the text as the session's ranges (empty: none). A refused text leaves the
    // ranges as they were and returns the reason.
    QString setRangesText(const QString& text);

public slots:
    // Asks for the ranges until they are accepted or the dialog is cancelled.
    void slot_editRanges();

signals:
    void sig_rangesChanged();

private:
    void showRanges();

    tcAddressRanges m_ranges;
    QString m_text;
};
