#pragma once
#include <string>

/// Turns the file references of a COLLADA document (URIs as exporters write
/// them) into paths: "file://" stripped, "%20"-style escapes decoded,
/// backslashes made slashes, "." and ".." segments folded.
class DaeFilePath {
public:
    /// Decodes %XX escapes and strips a "file:" scheme (with or without "//"
    /// and host), keeping a Windows drive letter ("file:///C:/x" gives "C:/x").
    static std::string DecodeUri(const std::string& uri);

    /// Backslashes to slashes, repeated slashes folded, "." segments dropped
    /// and "a/.." pairs removed; leading ".." segments of a relative path stay.
    static std::string Normalize(const std::string& path);

    /// True for "/x" and for Windows drive paths ("C:/x").
    static bool IsAbsolute(const std::string& path);

    /// The folder part of `path` with its trailing slash ("" for a bare name).
    static std::string Folder(const std::string& path);

    /// The last segment of `path`.
    static std::string BaseName(const std::string& path);

    /// `relative` appended to `folder` (which ends in '/' or is empty), normalized.
    static std::string Join(const std::string& folder, const std::string& relative);

    /// Finds an existing file for `path`: the path itself, else the same path
    /// with each segment below `root` matched ignoring case. Empty if neither exists.
    static std::string FindExisting(const std::string& root, const std::string& relative);
};
