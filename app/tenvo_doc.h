#pragma once
// CTenvoDoc: the document of the single-document pattern. Velrix keeps all of
// its state in the view, so the document holds nothing; it exists so the
// shell keeps the shape operators and maintainers know.

namespace velrix {

class CTenvoDoc {};

}  // namespace velrix
