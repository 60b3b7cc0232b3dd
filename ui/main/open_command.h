#pragma once

struct CommandContext;

// "打开网页文件": asks for a file and replaces the text with its trimmed lines. A file that cannot
// be read is reported and leaves the text, the dialog's last name and the application as they were.
void openCommand(const CommandContext &context);
