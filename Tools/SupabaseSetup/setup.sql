-- Lorvex cloud sync: the table and the picture bucket that the application reads and writes.
-- Run it once per Supabase project, as the project's owner (the dashboard's SQL editor, or psql
-- connected as "postgres"). Running it again changes nothing that is already in place.

-- ---------------------------------------------------------------------------------------------
-- The table: one row per record (character, persona, chat) of a user. The application upserts
-- rows merging on (user_id, kind, id) and reads a user's rows ordered by updated_at, kind, id.
-- ---------------------------------------------------------------------------------------------

create table if not exists public.velmorin_items (
    user_id    uuid        not null default auth.uid() references auth.users (id) on delete cascade,
    kind       text        not null,
    id         text        not null,
    parent_id  text,
    data       jsonb,
    deleted    boolean     not null default false,
    updated_at timestamptz not null default now(),
    constraint velmorin_items_pkey primary key (user_id, kind, id)
);

-- The pull: a user's rows changed since a cursor, in the order it pages through them.
create index if not exists velmorin_items_user_updated_idx
    on public.velmorin_items (user_id, updated_at, kind, id);

-- Every write stamps its rows with the server's time; whatever the client sends is ignored, so
-- the pull's cursor only ever sees times of this one clock.
create or replace function public.velmorin_items_touch()
returns trigger
language plpgsql
set search_path = ''
as $$
begin
    new.updated_at := now();
    return new;
end;
$$;

drop trigger if exists velmorin_items_touch on public.velmorin_items;
create trigger velmorin_items_touch
    before insert or update on public.velmorin_items
    for each row execute function public.velmorin_items_touch();

-- Row-level security: a signed-in user sees, adds and changes only rows of their own user_id.
-- Deletions travel as rows with deleted = true, so no delete is granted.
alter table public.velmorin_items enable row level security;

revoke all on table public.velmorin_items from anon;
revoke all on table public.velmorin_items from authenticated;
grant select, insert, update on table public.velmorin_items to authenticated;

drop policy if exists "velmorin_items: read own rows" on public.velmorin_items;
create policy "velmorin_items: read own rows"
    on public.velmorin_items
    for select
    to authenticated
    using ((select auth.uid()) = user_id);

drop policy if exists "velmorin_items: add own rows" on public.velmorin_items;
create policy "velmorin_items: add own rows"
    on public.velmorin_items
    for insert
    to authenticated
    with check ((select auth.uid()) = user_id);

drop policy if exists "velmorin_items: change own rows" on public.velmorin_items;
create policy "velmorin_items: change own rows"
    on public.velmorin_items
    for update
    to authenticated
    using ((select auth.uid()) = user_id)
    with check ((select auth.uid()) = user_id);

-- ---------------------------------------------------------------------------------------------
-- The bucket: private; each user's pictures live in the folder named by their user id
-- ("<user id>/<file name>"). Upload with x-upsert needs select, insert and update; deleting an
-- orphan picture needs delete.
-- ---------------------------------------------------------------------------------------------

insert into storage.buckets (id, name, public)
values ('velmorin-images', 'velmorin-images', false)
on conflict (id) do update set public = false;

drop policy if exists "velmorin-images: read own folder" on storage.objects;
create policy "velmorin-images: read own folder"
    on storage.objects
    for select
    to authenticated
    using (bucket_id = 'velmorin-images' and (storage.foldername(name))[1] = (select auth.uid()::text));

drop policy if exists "velmorin-images: add to own folder" on storage.objects;
create policy "velmorin-images: add to own folder"
    on storage.objects
    for insert
    to authenticated
    with check (bucket_id = 'velmorin-images' and (storage.foldername(name))[1] = (select auth.uid()::text));

drop policy if exists "velmorin-images: replace in own folder" on storage.objects;
create policy "velmorin-images: replace in own folder"
    on storage.objects
    for update
    to authenticated
    using (bucket_id = 'velmorin-images' and (storage.foldername(name))[1] = (select auth.uid()::text))
    with check (bucket_id = 'velmorin-images' and (storage.foldername(name))[1] = (select auth.uid()::text));

drop policy if exists "velmorin-images: delete from own folder" on storage.objects;
create policy "velmorin-images: delete from own folder"
    on storage.objects
    for delete
    to authenticated
    using (bucket_id = 'velmorin-images' and (storage.foldername(name))[1] = (select auth.uid()::text));

-- ---------------------------------------------------------------------------------------------
-- The REST API answers from a cached picture of the schema; until it reloads, the new table is
-- unknown to it ("PGRST205") and the application would still say the set-up is missing.
-- ---------------------------------------------------------------------------------------------

notify pgrst, 'reload schema';
