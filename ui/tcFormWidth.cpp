#include "tcFormWidth.h"

#include <QLabel>
#include <QLayout>
#include <QWidget>

void widenToLabelTexts(QWidget* apForm)
{
    int labelMinimum = 0, labelText = 0;
    for (const QLabel* label : apForm->findChildren<QLabel*>()) {
        labelMinimum = qMax(labelMinimum, label->minimumWidth());
        labelText = qMax(labelText, label->sizeHint().width());
    }
    const int needed = apForm->layout()->minimumSize().width() + qMax(0, labelText - labelMinimum);
    apForm->resize(qMax(apForm->width(), needed), apForm->height());
}
