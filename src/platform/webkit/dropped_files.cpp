// The files of a drop from another program handed to the page (see dropped_files.h).
#include "platform/webkit/dropped_files.h"

#include <memory>

#include "platform/glib/gobject_ptr.h"

namespace tessary::platform::webkit {

namespace {

// In the page's world, as the drop the page gets must be an event of its own world; defined
// before any script of the page's, which can neither replace it nor learn from it more than
// the drop itself tells.
constexpr char kHand[] = "__halvarenTessaryDrop()";  // as the script below names them
constexpr char kDragging[] = "__halvarenTessaryDrag(true)";
constexpr char kNotDragging[] = "__halvarenTessaryDrag(false)";
constexpr char kScript[] = R"js((() => {
  let dragging = false;  // a drag from another program carrying files is over the page
  let handed = null;     // the files handed over for its drop, once the input has them
  Object.defineProperty(window, '__halvarenTessaryDrag', {value: (files) => {
    dragging = files;
    handed = null;
  }});
  // Called by the program only: a page's own call is no gesture, and its input opens nothing.
  Object.defineProperty(window, '__halvarenTessaryDrop', {value: () => {
    const input = document.createElement('input');
    input.type = 'file';
    input.multiple = true;
    handed = new Promise((taken) => {
      input.addEventListener('change', () => taken(input.files));
    });
    input.click();
  }});
  // Shown to the page as a browser shows it: of type "Files", for which drop zones open.
  const asFiles = (event) => {
    if (dragging && event.isTrusted && event.dataTransfer)
      Object.defineProperty(event.dataTransfer, 'types', {value: Object.freeze(['Files'])});
  };
  for (const type of ['dragenter', 'dragover', 'dragleave']) addEventListener(type, asFiles, true);
  addEventListener('drop', (drop) => {
    asFiles(drop);
    const files = handed;
    handed = null;
    dragging = false;
    if (!files || !drop.isTrusted || drop.dataTransfer.files.length) return;
    drop.preventDefault();
    drop.stopImmediatePropagation();
    files.then((list) => {
      const carrying = (files) => {
        const data = new DataTransfer();
        for (const file of files) data.items.add(file);
        return data;
      };
      const init = {bubbles: true, cancelable: true, composed: true, dataTransfer: carrying(list)};
      for (const key of ['screenX', 'screenY', 'clientX', 'clientY', 'ctrlKey', 'shiftKey',
                         'altKey', 'metaKey', 'button', 'buttons'])
        init[key] = drop[key];
      const target = drop.target;
      if (!target.dispatchEvent(new DragEvent('drop', init))) return;
      // Left to the browser: a file input takes what is dropped on it.
      if (target instanceof HTMLInputElement && target.type === 'file' && !target.disabled) {
        target.files = carrying(target.multiple ? list : [...list].slice(0, 1)).files;
        target.dispatchEvent(new Event('input', {bubbles: true, composed: true}));
        target.dispatchEvent(new Event('change', {bubbles: true}));
      }
    });
  }, true);
})())js";

}  // namespace

DroppedFiles::DroppedFiles(WebKitWebView* view) : view_(view) {
  auto script = std::unique_ptr<WebKitUserScript, decltype(&webkit_user_script_unref)>(
      webkit_user_script_new(kScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr),
      webkit_user_script_unref);
  webkit_user_content_manager_add_script(webkit_web_view_get_user_content_manager(view),
                                         script.get());
}

void DroppedFiles::dragging(bool files) {
  webkit_web_view_evaluate_javascript(view_, files ? kDragging : kNotDragging, -1, nullptr, nullptr,
                                      nullptr, nullptr, nullptr);
}

void DroppedFiles::hand(const std::vector<std::string>& paths) {
  paths_ = paths;
  if (paths_.empty()) return;
  // Reaches the page before the drop, which the engine sends after this handler; the engine
  // runs a script of the program's as the user's gesture, which a file input needs.
  webkit_web_view_evaluate_javascript(view_, kHand, -1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
}

bool DroppedFiles::answer(WebKitFileChooserRequest* request) {
  if (paths_.empty()) return false;
  std::vector<const char*> files;
  for (const auto& path : paths_) files.push_back(path.c_str());
  files.push_back(nullptr);
  webkit_file_chooser_request_select_files(request, files.data());
  paths_.clear();
  return true;
}

}  // namespace tessary::platform::webkit
