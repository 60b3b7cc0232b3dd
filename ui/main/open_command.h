#pragma once

class QString;
struct CommandContext;

// "打开网页文件": offers to save typed text first (offerToSave()), then asks for a file and opens
// it with openFile().
void openCommand(const CommandContext &context);

// Replaces the text with the trimmed lines of the file at path, an absolute path, and keeps the
// path as the dialog's last name. Every way in (the dialog, the command line, a dropped file) ends
// here, once typed text has been offered to be saved. A file that cannot be read is reported and
// leaves the text, the dialog's last name and the application as they were.
void openFile(const CommandContext &context, const QString &path);
