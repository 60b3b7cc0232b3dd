#pragma once

struct CommandContext;

// "压缩并保存为": asks for a target file, writes the text there and confirms with "压缩完成：）".
// A file that cannot be written is reported and keeps its old content; the text, the dialog's
// last name and the application stay as they were.
void saveCommand(const CommandContext &context);
