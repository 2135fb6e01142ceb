#pragma once

#include <QString>

// The desktop's trash, where deleted local files and folders go so that the user can take them back.
// Tests give their own.
class LocalTrash
{
public:
    virtual ~LocalTrash() = default;

    // True when the volume holding the path has a trash: the home volume always has one; another volume
    // has one when its top folder holds one or lets one be made.
    virtual bool volumeHasTrash(const QString &path) const;
    virtual bool moveToTrash(const QString &path);
};
