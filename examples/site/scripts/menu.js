// Marks the menu once the page is ready, so a reader can tell scripts ran.
document.addEventListener("DOMContentLoaded", function () {
    var menu = document.getElementById("menu");
    if (menu) menu.className = "open";
});
