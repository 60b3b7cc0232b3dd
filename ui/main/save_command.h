#pragma once

struct CommandContext;

// "压缩并保存为": asks for a target file, writes the text there and confirms with "压缩完成：）".
// A file that cannot be written is reported and keeps its old content; the text, the dialog's
// last name and the application stay as they were. Returns whether the text was saved; from then
// on it counts as unchanged.
bool saveCommand(const CommandContext &context);

// Comes before the text is replaced or its window closes. Text changed since it was opened or
// saved is not dropped without a question: "文本已修改。要先保存吗？"; 保存 runs saveCommand().
// Returns whether the caller may go on, which it may not after 取消 or a save that was cancelled
// or failed.
bool offerToSave(const CommandContext &context);
