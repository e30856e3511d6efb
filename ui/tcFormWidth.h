#pragma once

class QWidget;

// The configuration forms fix their labels' minimum width for the workstation font they
// were drawn with; under a larger desktop font the layout would then clip the labels and
// check boxes. Widens the form (never narrows it) to what its label texts need.
void widenToLabelTexts(QWidget* apForm);
