#pragma once

#include "ClsCL0010GF.h"

#include <QTemporaryDir>

// A temporary directory that stands in for the executable's directory for as
// long as it lives, so tests never touch files beside the test binaries.
class TemporaryAppDirectory : public QTemporaryDir
{
public:
    TemporaryAppDirectory() { ClsCL0010GF.setApplicationDirectoryForTesting(path()); }
    ~TemporaryAppDirectory() { ClsCL0010GF.setApplicationDirectoryForTesting({}); }
};
